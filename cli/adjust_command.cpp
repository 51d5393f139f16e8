#include "cli/adjust_command.h"

#include <cstdio>
#include <cstring>

#include <nlohmann/json.hpp>

#include "adjustment/adjustment_report.h"
#include "base/error.h"
#include "cli/json_texts.h"
#include "cli/parameter_target.h"
#include "cli/progress_line.h"
#include "cli/standard_output.h"
#include "conversion/parameter_file.h"
#include "textio/encoding.h"
#include "textio/number_text.h"
#include "textio/text_file.h"

namespace kovarim::cli {
namespace {

constexpr const char *kKeys[8] = {"", "DX", "DY", "DZ", "Scale", "RotX", "RotY", "RotZ"};

using Json = nlohmann::ordered_json; // keys in the order they are set

Json ParamsJson(const Params &p) {
    Json object = Json::object();
    for (int n = DX; n <= RotZ; ++n)
        object[kKeys[n]] = p[n];
    return object;
}

// The whole --json object, from this one place; numbers in the shortest
// form that reads back to the same double (the same text on every system),
// what is not a number as null.
std::string AsJson(const AdjustArguments &args, const AdjustedFile &run) {
    const Adjustment &a = run.adjustment;
    Json json;
    json["file"] = Utf8Path(args.file);
    json["report"] = Utf8Path(run.report->finalPath());
    // The systems, where they are not xyz (whose output keeps its bytes): the
    // residuals and redundancy numbers are along the new system's axes.
    const PointSystems &systems = run.table.systems();
    if (!systems.Cartesian()) {
        json["from"] = CoordinateSystemText(systems.from);
        json["to"] = CoordinateSystemText(systems.to);
        json["residual_names"] = {ResidualName(systems.to, 0), ResidualName(systems.to, 1),
                                  ResidualName(systems.to, 2)};
    }
    json["params"] = ParamsJson(a.params);
    json["sigma"] = ParamsJson(a.sigma);
    json["sigma0"] = a.sigma0;
    json["redundancy"] = a.redundancy;
    json["alpha"] = a.alpha;
    json["critical_used"] = a.criticalUsed;
    json["critical_others"] = a.criticalOthers;
    json["centroid"] = {a.centroid.X, a.centroid.Y, a.centroid.Z};
    json["centroid_translation"] = a.centroidShift;
    json["centroid_translation_sigma"] = a.centroidShiftSigma;
    json["correlation"] = a.correlation;
    json["robust_limit"] = a.robustStart ? Json(a.robustLimit) : Json();
    json["points"] = Json::array();
    for (int n = 1; n <= run.table.PointCount(); ++n) {
        const AdjustedPoint &p = a.points[n - 1];
        Json point;
        point["name"] = Utf8Name(run.table.Point(n).Name);
        point["state"] = StateName(p.state);
        point["residual"] = p.residual;
        point["test"] = p.test ? Json(*p.test) : Json();
        point["critical"] = p.critical;
        point["passed"] = p.passed;
        point["redundancy_numbers"] = p.state == PointState::Used ? Json(p.redundancy) : Json();
        point["set_aside_at_start"] = p.setAsideAtStart;
        json["points"].push_back(std::move(point));
    }
    json["check_rms"] =
        a.checks > 0 ? Json({a.checkRms[0], a.checkRms[1], a.checkRms[2], a.checkRms3d}) : Json();
    json["triple"] = Json::array();
    if (a.tripleParams)
        for (int number : a.triple)
            json["triple"].push_back(Utf8Name(run.table.Point(number).Name));
    json["triple_params"] = a.tripleParams ? ParamsJson(*a.tripleParams) : Json();
    // Names and paths are UTF-8 already; a byte that is not would become U+FFFD.
    return json.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
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
    const PointSystems &systems = run.table.systems();
    if (!systems.Cartesian())
        text += "坐标系 systems: " + CoordinateSystemText(systems.from) + " -> " +
                CoordinateSystemText(systems.to) + "\n";
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

bool SplitNames(std::string_view list, std::vector<std::string> &names) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    for (std::size_t i = 0; i != std::string_view::npos;) {
        while (i < list.size() && blank(list[i]))
            ++i;
        std::string_view name;
        const bool quoted = i < list.size() && list[i] == '"';
        if (quoted) {
            const std::size_t close = list.find('"', i + 1);
            if (close == std::string_view::npos)
                return false;
            name = list.substr(i + 1, close - i - 1);
            i = list.find(',', close); // what stands after the quote is ignored, as in a file
        } else {
            const std::size_t comma = list.find(',', i);
            name = list.substr(i, comma == std::string_view::npos ? comma : comma - i);
            while (!name.empty() && blank(name.back()))
                name.remove_suffix(1);
            i = comma;
        }
        // An empty name is a slip (',' or '' on the command line) unless it
        // is quoted: "" holds out the points whose name is empty.
        if (name.empty() && !quoted)
            return false;
        names.emplace_back(name);
        if (i != std::string_view::npos)
            ++i;
    }
    return true;
}

int RunAdjust(const AdjustArguments &args) {
    AdjustmentOptions options;
    options.alpha = args.alpha;
    options.stop = args.stop;
    options.checkNames = args.check;
    // Every target is checked before anything is written, and everything is
    // written before anything is put in place.
    std::optional<ReplacementFile> paramsFile;
    if (args.params) {
        RefuseParameterFileOver(*args.params, args.file, AdjustmentReportPathFor(args.file));
        paramsFile.emplace(*args.params);
    }
    ProgressLine progress(!args.quiet);
    options.searchStarted = [&](long long triples) { progress.Started(triples); };
    options.searchDone = progress.done();
    const AdjustedFile run = AdjustCommonPointFile(args.file, options, args.systems);
    progress.Stop();
    if (paramsFile) {
        paramsFile->writer().Write(
            ParameterFileText(run.adjustment.params, ParameterComments(args, run), args.systems));
        paramsFile->Finish();
    }
    if (args.stop != nullptr && args.stop->load())
        throw SearchStopped{};
    PrintNow(args.json ? AsJson(args, run) : Summary(run));
    CommitAll({run.report.get(), paramsFile ? &*paramsFile : nullptr});
    return 0;
}

} // namespace kovarim::cli
