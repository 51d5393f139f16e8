#include "cli/calibrate_command.h"

#include <cstdio>
#include <memory>

#include <nlohmann/json.hpp>

#include "base/ascii.h"
#include "base/error.h"
#include "calibration/calibration_points.h"
#include "calibration/calibration_report.h"
#include "cli/adjust_command.h"
#include "cli/json_texts.h"
#include "cli/parameter_target.h"
#include "cli/standard_output.h"
#include "conversion/calibration_file.h"
#include "estimation/estimate.h"
#include "textio/encoding.h"
#include "textio/number_text.h"
#include "textio/text_file.h"

namespace kovarim::cli {
namespace {

using Json = nlohmann::ordered_json; // keys in the order they are set

Json Optional(const std::optional<double> &value) { return value ? Json(*value) : Json(); }

Json PlaneJson(const PlaneParams &p) {
    Json object = Json::object();
    object["dx"] = p.dx;
    object["dy"] = p.dy;
    object["scale_ppm"] = ToPpm(p.scale);
    object["rotation_arcsec"] = ToArcSeconds(p.rotation);
    return object;
}

// A fit without redundancy has no σ0, so its standard deviations are not
// known: null, not the 0 they are computed as.
Json SigmaJson(const FitSummary &fit, Json known) {
    if (fit.sigma0)
        return known;
    if (known.is_object()) {
        for (auto &[key, value] : known.items())
            value = Json();
        return known;
    }
    return Json(std::vector<Json>(known.size()));
}

bool HasSurface(const SiteCalibration &c) { return CoefficientCount(c.height.surface.model) > 0; }

// One calibration read from one file, with its report begun.
struct CalibratedFile {
    CommonPointTable table;
    SiteCalibration calibration;
    std::unique_ptr<ReplacementFile> report;
};

// The whole --json object, from this one place; numbers in the shortest
// form that reads back to the same double, what is not a number as null.
std::string AsJson(const CalibrateArguments &args, const CalibratedFile &run) {
    const SiteCalibration &c = run.calibration;
    const PlaneCalibration &plane = c.plane;
    Json json;
    json["file"] = Utf8Path(args.file);
    json["report"] = Utf8Path(run.report->finalPath());
    json["from"] = c.systems.from;
    json["via"] = c.systems.via.empty() ? Json() : Json(c.systems.via);
    json["to"] = c.systems.to;
    json["params"] = PlaneJson(plane.params);
    json["sigma"] = SigmaJson(plane.fit, PlaneJson(plane.sigma));
    json["sigma0"] = Optional(plane.fit.sigma0);
    json["redundancy"] = plane.fit.redundancy;
    json["centroid"] = {{"source", plane.centroid},
                        {"local", plane.centroidLocal},
                        {"local_sigma", SigmaJson(plane.fit, plane.centroidLocalSigma)}};
    json["correlation"] = plane.correlation;
    if (HasSurface(c)) {
        const HeightSurface &s = c.height.surface;
        const int count = CoefficientCount(s.model);
        Json height;
        height["model"] = HeightModelName(s.model);
        height["origin"] = {s.originX, s.originY};
        height["unit"] = kHeightSurfaceUnit;
        height["coefficients"] = std::vector<double>(s.c.begin(), s.c.begin() + count);
        height["sigma"] =
            SigmaJson(c.height.fit,
                      std::vector<double>(c.height.sigma.begin(), c.height.sigma.begin() + count));
        height["sigma0"] = Optional(c.height.fit.sigma0);
        json["height"] = std::move(height);
    } else {
        json["height"] = Json();
    }
    json["points"] = Json::array();
    for (int n = 1; n <= run.table.PointCount(); ++n) {
        const CalibratedPoint &p = c.points[n - 1];
        Json point;
        point["name"] = Utf8Name(run.table.Point(n).Name);
        point["state"] = StateName(p.State());
        point["residual"] = p.residual;
        // The plane's test, then the height's (none without a surface).
        point["test"] = {Optional(p.plane.test), HasSurface(c) ? Optional(p.height.test) : Json()};
        point["critical"] = {p.plane.test ? Json(p.plane.critical) : Json(),
                             HasSurface(c) && p.height.test ? Json(p.height.critical) : Json()};
        point["passed"] = p.plane.passed && p.height.passed;
        json["points"].push_back(std::move(point));
    }
    json["check_rms"] =
        c.checks > 0 ? Json({c.checkRms[0], c.checkRms[1], c.checkRms[2], c.checkRmsPlan}) : Json();
    // Names and paths are UTF-8 already; a byte that is not would become U+FFFD.
    return json.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

// The names (UTF-8, separated by ", ") of the points whose verdict in one
// fit, or whose state overall, is `state`.
std::string NamesIn(const CalibratedFile &run, PointState state,
                    FitVerdict CalibratedPoint::*fit = nullptr) {
    std::string names;
    for (int n = 1; n <= run.table.PointCount(); ++n) {
        const CalibratedPoint &p = run.calibration.points[n - 1];
        if ((fit != nullptr ? (p.*fit).state : p.State()) == state)
            names += (names.empty() ? "" : ", ") + Utf8Name(run.table.Point(n).Name);
    }
    return names;
}

std::string Short(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string Sigma0Text(const FitSummary &f) {
    return f.sigma0 ? Short(*f.sigma0) : std::string("none");
}

std::vector<std::string> ParameterComments(const CalibrateArguments &args,
                                           const CalibratedFile &run) {
    const SiteCalibration &c = run.calibration;
    const HeightModel model = c.height.surface.model;
    std::vector<std::string> comments;
    comments.push_back(
        "Kovarim site calibration of " + args.file + ": four parameters in the plane" +
        (c.plane.fixedScale ? " (scale held at 1)" : "") +
        (HasSurface(c) ? std::string(" and a ") + HeightModelName(model) + " height surface"
                       : std::string(", heights unchanged")) +
        " (equal weights, data snooping at alpha " + Short(c.alpha) + ")");
    comments.push_back("X = dx + a*x - b*y, Y = dy + b*x + a*y, a = (1 + scale)*cos(rotation), "
                       "b = (1 + scale)*sin(rotation); x, X north, y, Y east, metres; rotation in "
                       "radians");
    comments.push_back("scale = " + Short(ToPpm(c.plane.params.scale)) +
                       " ppm, rotation = " + Short(ToArcSeconds(c.plane.params.rotation)) +
                       " arc-seconds; sigma0 = " + Sigma0Text(c.plane.fit) +
                       ", redundancy r = " + std::to_string(c.plane.fit.redundancy));
    if (HasSurface(c)) {
        static const char *const formulas[] = {"c0", "c0 + c1*u + c2*v",
                                               "c0 + c1*u + c2*v + c3*u^2 + c4*u*v + c5*v^2"};
        const int which = model == HeightModel::Constant ? 0 : model == HeightModel::Plane ? 1 : 2;
        comments.push_back(std::string("h = H - zeta, zeta = ") + formulas[which] +
                           ", u = (X - X0)/1000, v = (Y - Y0)/1000 (kilometres); sigma0 = " +
                           Sigma0Text(c.height.fit) +
                           ", redundancy r = " + std::to_string(c.height.fit.redundancy));
    }
    comments.push_back("points used in the plane (" + std::to_string(c.plane.fit.used) +
                       "): " + NamesIn(run, PointState::Used, &CalibratedPoint::plane));
    if (c.plane.fit.blunders > 0)
        comments.push_back("blunders in the plane: " +
                           NamesIn(run, PointState::Blunder, &CalibratedPoint::plane));
    if (HasSurface(c) && c.height.fit.blunders > 0)
        comments.push_back("blunders in the height: " +
                           NamesIn(run, PointState::Blunder, &CalibratedPoint::height));
    if (c.checks > 0)
        comments.push_back("check points: " + NamesIn(run, PointState::Check));
    return comments;
}

std::string WithSigma(double value, double sigma, const FitSummary &fit) {
    return FormatNumber(value) + " ± " + (fit.sigma0 ? FormatNumber(sigma) : "无 none");
}

std::string FitLine(const FitSummary &f) {
    return "σ0 = " + (f.sigma0 ? FormatNumber(*f.sigma0) : std::string("无 none")) +
           "  r = " + std::to_string(f.redundancy) + "  参与 used: " + std::to_string(f.used) +
           "  粗差 blunders: " + std::to_string(f.blunders) + "\n";
}

std::string Summary(const CalibratedFile &run) {
    const SiteCalibration &c = run.calibration;
    const PlaneCalibration &plane = c.plane;
    std::string text = "报告 report: " + run.report->finalPath() + "\n";
    text += "原坐标系 from: " + c.systems.from;
    if (!c.systems.via.empty())
        text += "  投影 via: " + c.systems.via;
    text += "  局部坐标系 to: " + c.systems.to + "\n";
    text += "平面 plane: " + FitLine(plane.fit);
    if (plane.fit.blunders > 0)
        text += "平面粗差 plane blunders: " +
                NamesIn(run, PointState::Blunder, &CalibratedPoint::plane) + "\n";
    text += "dx       = " + WithSigma(plane.params.dx, plane.sigma.dx, plane.fit) + " m\n";
    text += "dy       = " + WithSigma(plane.params.dy, plane.sigma.dy, plane.fit) + " m\n";
    text +=
        "scale    = " +
        (plane.fixedScale
             ? std::string("0 ppm (固定 held)")
             : WithSigma(ToPpm(plane.params.scale), ToPpm(plane.sigma.scale), plane.fit) + " ppm") +
        "\n";
    text += "rotation = " +
            WithSigma(ToArcSeconds(plane.params.rotation), ToArcSeconds(plane.sigma.rotation),
                      plane.fit) +
            " ″\n";
    if (HasSurface(c)) {
        const HeightSurface &s = c.height.surface;
        text +=
            std::string("高程 height: ") + HeightModelName(s.model) + "  " + FitLine(c.height.fit);
        if (c.height.fit.blunders > 0)
            text += "高程粗差 height blunders: " +
                    NamesIn(run, PointState::Blunder, &CalibratedPoint::height) + "\n";
        for (int k = 0; k < CoefficientCount(s.model); ++k)
            text += "c" + std::to_string(k) + " = " +
                    WithSigma(s.c[k], c.height.sigma[k], c.height.fit) + "\n";
    } else {
        text += "高程 height: none (h = H)\n";
    }
    if (c.checks > 0)
        text += "检核 check: " + std::to_string(c.checks) + "  均方根 RMS x " +
                FormatNumber(c.checkRms[0]) + "  y " + FormatNumber(c.checkRms[1]) + "  h " +
                FormatNumber(c.checkRms[2]) + "  平面 plan " + FormatNumber(c.checkRmsPlan) + "\n";
    return text;
}

// An option given twice would leave the user unsure which one counted.
void Once(const std::optional<std::string> &option, const std::string &name) {
    if (option)
        throw CalibrateUsage{name + " 只能给一次 (" + name + " may be given once)"};
}

} // namespace

CalibrateArguments ParseCalibrateArguments(const std::vector<std::string> &argv,
                                           std::size_t first) {
    std::vector<std::string> positional, checks;
    std::optional<std::string> from, to, via, height, alpha, params;
    bool fixedScale = false, json = false, quiet = false, optionsEnd = false;
    std::optional<std::string> *const valued[] = {&from, &to, &via, &height, &alpha, &params};
    const char *const valuedNames[] = {"--from",   "--to",    "--via",
                                       "--height", "--alpha", "--params"};
    for (std::size_t i = first; i < argv.size(); ++i) {
        const std::string &arg = argv[i];
        if (optionsEnd || arg.rfind("--", 0) != 0) {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnd = true;
            continue;
        }
        if (arg == "--fixed-scale") {
            fixedScale = true;
            continue;
        }
        if (arg == "--json") {
            json = true;
            continue;
        }
        if (arg == "--quiet") {
            quiet = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        std::optional<std::string> value;
        if (equals != std::string::npos)
            value = arg.substr(equals + 1);
        else if (i + 1 < argv.size())
            value = argv[i + 1];
        bool known = false;
        if (name == "--check") {
            known = true;
            if (!value)
                throw CalibrateUsage{"--check 后面缺少值 (--check needs a value)"};
            checks.push_back(*value);
        }
        for (int k = 0; k < 6 && !known; ++k) {
            if (name != valuedNames[k])
                continue;
            known = true;
            Once(*valued[k], name);
            if (!value)
                throw CalibrateUsage{name + " 后面缺少值 (" + name + " needs a value)"};
            if (value->empty())
                throw CalibrateUsage{name + " 的值为空 (" + name + " needs a value)"};
            *valued[k] = *value;
        }
        if (!known)
            throw CalibrateUsage{"calibrate 不接受选项 (calibrate takes no option) " + arg};
        if (equals == std::string::npos)
            ++i;
    }

    CalibrateArguments args;
    if (positional.size() != 1)
        throw CalibrateUsage{
            "calibrate 需要一个公共点文件 (calibrate takes one common-point file)"};
    args.file = positional[0];
    if (!from)
        throw CalibrateUsage{"缺少 --from (--from is required: plane, gk:... or blh:...)"};
    if (!to)
        throw CalibrateUsage{"缺少 --to plane (--to plane is required)"};
    if (AsciiLowercase(*to) != kLocalPlane)
        throw CalibrateUsage{"--to " + *to +
                             " 无法使用：场地校正的目标只能是局部平面 plane (--to " +
                             "must be plane)"};
    try {
        args.source = ParseCalibrationSource(*from, via);
    } catch (const Error &e) {
        throw CalibrateUsage{(e.field() == 2 ? "--via " : "--from ") + e.problem()};
    }
    if (height) {
        bool found = false;
        for (HeightModel model : {HeightModel::Auto, HeightModel::None, HeightModel::Constant,
                                  HeightModel::Plane, HeightModel::Quadratic})
            if (AsciiLowercase(*height) == HeightModelName(model)) {
                args.height = model;
                found = true;
            }
        if (!found)
            throw CalibrateUsage{"--height 应为 auto、none、constant、plane 或 quadratic (--height "
                                 "must be auto, none, constant, plane or quadratic)"};
    }
    for (const std::string &list : checks)
        if (!SplitNames(list, args.check))
            throw CalibrateUsage{kBadCheckList};
    if (alpha) {
        const ParsedNumber parsed = ParseFieldNumber(*alpha);
        if (parsed.status != NumberParse::Ok ||
            !(parsed.value >= kSmallestAlpha && parsed.value <= kLargestAlpha))
            throw CalibrateUsage{
                "--alpha 应在 1e-10 与 0.05 之间 (--alpha must lie in [1e-10, 0.05])"};
        args.alpha = parsed.value;
    }
    args.fixedScale = fixedScale;
    args.params = params;
    args.json = json;
    args.quiet = quiet;
    return args;
}

int RunCalibrate(const CalibrateArguments &args) {
    // Every target is checked before anything is written, and everything is
    // written before anything is put in place.
    std::optional<ReplacementFile> paramsFile;
    if (args.params) {
        RefuseParameterFileOver(*args.params, args.file, CalibrationReportPathFor(args.file));
        paramsFile.emplace(*args.params);
    }
    CalibratedFile run;
    run.table = ReadCalibrationPointFile(args.file, args.source);
    CalibrationOptions options;
    options.height = args.height;
    options.fixedScale = args.fixedScale;
    options.alpha = args.alpha;
    options.checkNames = args.check;
    options.systems = {args.source.FromText(), args.source.ViaText(), kLocalPlane};
    run.calibration = Calibrate(run.table, options, args.file);
    run.report = PrepareCalibrationReport(args.file, run.table, run.calibration);
    if (paramsFile) {
        paramsFile->writer().Write(CalibrationFileText({args.source, run.calibration.Params()},
                                                       ParameterComments(args, run)));
        paramsFile->Finish();
    }
    if (args.stop != nullptr && args.stop->load())
        throw SearchStopped{};
    PrintNow(args.json ? AsJson(args, run) : Summary(run));
    CommitAll({run.report.get(), paramsFile ? &*paramsFile : nullptr});
    return 0;
}

} // namespace kovarim::cli
