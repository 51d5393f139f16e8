#include "cli/adjust_command.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "adjustment/adjustment_report.h"
#include "base/error.h"
#include "cli/parameter_target.h"
#include "cli/standard_output.h"
#include "conversion/parameter_file.h"
#include "textio/encoding.h"
#include "textio/number_text.h"
#include "textio/text_file.h"

namespace kovarim::cli {
namespace {

constexpr const char *kKeys[8] = {"", "DX", "DY", "DZ", "Scale", "RotX", "RotY", "RotZ"};

// Names are GBK in the table; scripts and terminals want UTF-8.
std::string Utf8Name(const std::string &gbk) {
    const std::string utf8 = ToUtf8(gbk, Encoding::Gbk);
    return utf8.empty() && !gbk.empty() ? "?" : utf8;
}

// A file name for JSON, which must be UTF-8: a byte that is not becomes "?".
std::string Utf8Path(const std::string &path) {
    if (IsValidUtf8(path))
        return path;
    std::string text;
    for (char c : path)
        text += static_cast<unsigned char>(c) < 0x80 ? c : '?';
    return text;
}

const char *StateName(PointState state) {
    switch (state) {
    case PointState::Used:
        return "used";
    case PointState::Blunder:
        return "blunder";
    case PointState::Check:
        return "check";
    }
    return "";
}

// One JSON text, written as it goes: Key or Item before each value, and
// the commas come by themselves.
class Json {
  public:
    Json &String(std::string_view utf8) {
        afterKey_ = false;
        text_ += '"';
        for (char c : utf8) {
            const auto byte = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\') {
                text_ += '\\';
                text_ += c;
            } else if (byte < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                text_ += escaped;
            } else {
                text_ += c;
            }
        }
        text_ += '"';
        return *this;
    }
    // The shortest text that reads back to the same double; null for what
    // is not a number (the core gives none, but JSON has no NaN).
    Json &Number(double value) {
        if (!std::isfinite(value))
            return Raw("null");
        char buffer[32];
        const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
        return Raw(std::string_view(buffer, ec == std::errc() ? end - buffer : 0));
    }
    Json &Raw(std::string_view text) {
        afterKey_ = false;
        text_ += text;
        return *this;
    }
    Json &Key(std::string_view key) {
        Separate();
        String(key).Raw(":");
        afterKey_ = true;
        return *this;
    }
    Json &Item() {
        Separate();
        return *this;
    }
    Json &Open(char bracket) {
        Separate();
        text_ += bracket;
        first_ = true;
        return *this;
    }
    Json &Close(char bracket) {
        text_ += bracket;
        first_ = false;
        return *this;
    }
    template <std::size_t N> Json &Numbers(const std::array<double, N> &values) {
        Open('[');
        for (double v : values)
            Item().Number(v);
        return Close(']');
    }
    Json &Params(const kovarim::Params &p) {
        Open('{');
        for (int n = DX; n <= RotZ; ++n)
            Key(kKeys[n]).Number(p[n]);
        return Close('}');
    }
    const std::string &text() const { return text_; }

  private:
    // A value right after its key needs no comma; any other one does, but
    // the first in its object or array.
    void Separate() {
        if (afterKey_) {
            afterKey_ = false;
            return;
        }
        if (!first_)
            text_ += ',';
        first_ = false;
    }
    std::string text_;
    bool first_ = true, afterKey_ = false;
};

std::string AsJson(const AdjustArguments &args, const AdjustedFile &run) {
    const Adjustment &a = run.adjustment;
    Json json;
    json.Open('{');
    json.Key("file").String(Utf8Path(args.file));
    json.Key("report").String(Utf8Path(run.report->finalPath()));
    json.Key("params").Params(a.params);
    json.Key("sigma").Params(a.sigma);
    json.Key("sigma0").Number(a.sigma0);
    json.Key("redundancy").Number(a.redundancy);
    json.Key("alpha").Number(a.alpha);
    json.Key("critical_used").Number(a.criticalUsed);
    json.Key("critical_others").Number(a.criticalOthers);
    json.Key("centroid").Numbers(std::array<double, 3>{a.centroid.X, a.centroid.Y, a.centroid.Z});
    json.Key("centroid_translation").Numbers(a.centroidShift);
    json.Key("centroid_translation_sigma").Numbers(a.centroidShiftSigma);
    json.Key("correlation").Open('[');
    for (const auto &row : a.correlation)
        json.Numbers(row);
    json.Close(']');
    json.Key("robust_limit");
    if (a.robustStart)
        json.Number(a.robustLimit);
    else
        json.Raw("null");
    json.Key("points").Open('[');
    for (int n = 1; n <= run.table.PointCount(); ++n) {
        const AdjustedPoint &p = a.points[n - 1];
        json.Open('{');
        json.Key("name").String(Utf8Name(run.table.Point(n).Name));
        json.Key("state").String(StateName(p.state));
        json.Key("residual").Numbers(p.residual);
        json.Key("test");
        if (p.test)
            json.Number(*p.test);
        else
            json.Raw("null");
        json.Key("critical").Number(p.critical);
        json.Key("passed").Raw(p.passed ? "true" : "false");
        json.Key("redundancy_numbers");
        if (p.state == PointState::Used)
            json.Numbers(p.redundancy);
        else
            json.Raw("null");
        json.Key("set_aside_at_start").Raw(p.setAsideAtStart ? "true" : "false");
        json.Close('}');
    }
    json.Close(']');
    json.Key("check_rms");
    if (a.checks > 0)
        json.Numbers(
            std::array<double, 4>{a.checkRms[0], a.checkRms[1], a.checkRms[2], a.checkRms3d});
    else
        json.Raw("null");
    json.Key("triple").Open('[');
    if (a.tripleParams)
        for (int number : a.triple)
            json.Item().String(Utf8Name(run.table.Point(number).Name));
    json.Close(']');
    json.Key("triple_params");
    if (a.tripleParams)
        json.Params(*a.tripleParams);
    else
        json.Raw("null");
    json.Close('}');
    return json.text() + "\n";
}

// The names of the points in `state`, UTF-8, separated by ", ".
std::string NamesIn(const AdjustedFile &run, PointState state) {
    std::string names;
    for (int n = 1; n <= run.table.PointCount(); ++n)
        if (run.adjustment.points[n - 1].state == state)
            names += (names.empty() ? "" : ", ") + Utf8Name(run.table.Point(n).Name);
    return names;
}

// The names of the used points that fail their test.
std::string NamesFailing(const AdjustedFile &run) {
    std::string names;
    for (int n = 1; n <= run.table.PointCount(); ++n) {
        const AdjustedPoint &p = run.adjustment.points[n - 1];
        if (p.state == PointState::Used && !p.passed)
            names += (names.empty() ? "" : ", ") + Utf8Name(run.table.Point(n).Name);
    }
    return names;
}

std::vector<std::string> ParameterComments(const AdjustArguments &args, const AdjustedFile &run) {
    const Adjustment &a = run.adjustment;
    char alpha[32], sigma0[32];
    std::snprintf(alpha, sizeof alpha, "%.6g", a.alpha);
    std::snprintf(sigma0, sizeof sigma0, "%.6g", a.sigma0);
    std::vector<std::string> comments = {
        "Kovarim seven parameters, least-squares adjustment of " + args.file +
            " (equal weights, data snooping at alpha " + alpha + ")",
        std::string("sigma0 = ") + sigma0 + ", redundancy r = " + std::to_string(a.redundancy),
        "points used (" + std::to_string(a.used) + "): " + NamesIn(run, PointState::Used)};
    if (a.failedButKept > 0)
        comments.push_back("used but failing their test (none to spare): " + NamesFailing(run));
    if (a.blunders > 0)
        comments.push_back("blunders: " + NamesIn(run, PointState::Blunder));
    if (a.checks > 0)
        comments.push_back("check points: " + NamesIn(run, PointState::Check));
    return comments;
}

std::string Summary(const AdjustedFile &run) {
    const Adjustment &a = run.adjustment;
    std::string text = "报告 report: " + run.report->finalPath() + "\n";
    text += "σ0 = " + FormatNumber(a.sigma0) + "  r = " + std::to_string(a.redundancy) + "\n";
    text += "参与 used: " + std::to_string(a.used) +
            "  粗差 blunders: " + std::to_string(a.blunders) +
            "  检核 check: " + std::to_string(a.checks) + "\n";
    if (a.failedButKept > 0)
        text +=
            "参与而未通过检验 used but failing (no point to spare): " + NamesFailing(run) + "\n";
    if (a.blunders > 0)
        text += "粗差 blunders: " + NamesIn(run, PointState::Blunder) + "\n";
    for (int n = DX; n <= RotZ; ++n)
        text += std::string(kKeys[n]) + std::string(5 - std::strlen(kKeys[n]), ' ') + " = " +
                FormatNumber(a.params[n]) + " ± " + FormatNumber(a.sigma[n]) + "\n";
    if (a.checks > 0)
        text += "检核点均方根 check RMS: " + FormatNumber(a.checkRms3d) + "\n";
    return text;
}

} // namespace

int RunAdjust(const AdjustArguments &args) {
    AdjustmentOptions options;
    options.alpha = args.alpha;
    options.stop = args.stop;
    for (const std::string &list : args.check) {
        std::size_t start = 0;
        for (std::size_t comma; start <= list.size(); start = comma + 1) {
            comma = std::min(list.find(',', start), list.size());
            if (comma > start)
                options.checkNames.push_back(list.substr(start, comma - start));
        }
    }
    // Every target is checked before anything is written, and everything is
    // written before anything is put in place.
    std::optional<ReplacementFile> paramsFile;
    if (args.params) {
        RefuseParameterFileOver(*args.params, args.file, AdjustmentReportPathFor(args.file));
        paramsFile.emplace(*args.params);
    }
    const AdjustedFile run = AdjustCommonPointFile(args.file, options);
    if (paramsFile) {
        paramsFile->writer().Write(
            ParameterFileText(run.adjustment.params, ParameterComments(args, run)));
        paramsFile->Finish();
    }
    if (args.stop != nullptr && args.stop->load())
        throw SearchStopped{};
    PrintNow(args.json ? AsJson(args, run) : Summary(run));
    CommitAll({run.report.get(), paramsFile ? &*paramsFile : nullptr});
    return 0;
}

} // namespace kovarim::cli
