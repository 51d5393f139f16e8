// kovarim-cli: the window's three commands without a window.
//
//   kovarim-cli estimate FILE [--from S1] [--to S2] [--params PARAMS] [--quiet]
//   kovarim-cli convert (--params PARAMS | --from S1 --to S2) INPUT [OUTPUT] [--force] [--inverse]
//   kovarim-cli point (--params PARAMS | --from S1 --to S2) A B C [--inverse]
//   kovarim-cli adjust FILE [--from S1] [--to S2] [--params P] [--check NAMES] [--alpha A]
//                      [--json] [--quiet]
//   kovarim-cli calibrate FILE --from S1 --to plane [--via GK] [--height H] ... (calibrate_command)
//
// Results go to standard output, errors (the window's message texts) to
// standard error, and the exit status says which: 0 done, 1 bad input or a
// failed file operation, 2 a wrong command line. Every result comes from the
// same core functions the window calls.
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "adjustment/adjustment.h"
#include "adjustment/triple_review.h"
#include "base/error.h"
#include "cli/adjust_command.h"
#include "cli/calibrate_command.h"
#include "cli/json_texts.h"
#include "cli/parameter_target.h"
#include "cli/progress_line.h"
#include "cli/standard_output.h"
#include "conversion/batch_conversion.h"
#include "conversion/calibration_file.h"
#include "conversion/key_value_file.h"
#include "conversion/parameter_file.h"
#include "conversion/single_point.h"
#include "conversion/system_conversion.h"
#include "estimation/accuracy_report.h"
#include "estimation/estimate.h"
#include "textio/encoding.h"
#include "textio/number_text.h"
#include "textio/platform.h"
#include "textio/text_file.h"

namespace {

using namespace kovarim;

constexpr const char *kHelp =
    "用法 Usage:\n"
    "  kovarim-cli estimate FILE [--from S1] [--to S2] [--params PARAMS] [--quiet]\n"
    "      由公共点文件计算七参数，在其旁边写出精度评估报告（与窗口相同）；\n"
    "      --params 另把七参数写入参数文件。最优三点的参数与其他点的符合明显不如最小二乘平差时，\n"
    "      在标准错误输出说明（见 adjust）。\n"
    "      Estimates the seven parameters from a common-point file and writes the\n"
    "      accuracy report beside it, as the window does; --params also writes them\n"
    "      to a parameter file. When the best triple fits the other points clearly\n"
    "      worse than least squares, says so on standard error (see adjust).\n"
    "      在终端上，标准错误显示三点组搜索的进度（完成比例、每秒三点组数、剩余时间），\n"
    "      --quiet 不显示；adjust 亦然。On a terminal, standard error shows how far the\n"
    "      search of the triples has come (share, triples per second, time left);\n"
    "      --quiet turns it off. The same for adjust.\n"
    "  kovarim-cli convert (--params PARAMS | --from S1 --to S2) INPUT [OUTPUT] [--force]\n"
    "      用参数文件转换点文件（点号,x,y,z，或参数文件的原坐标系中的三个值）。没有参数文件时，\n"
    "      在同一椭球上的两个坐标系 --from、--to 之间换算（B L H、X Y Z、x y h，换带）。\n"
    "      OUTPUT 默认为 INPUT 去掉最后四个字符再加 \"to\"；\n"
    "      \"-\" 表示标准输入或标准输出；已有的非空 OUTPUT 只在加 --force 时替换。\n"
    "      Converts a point file (name,x,y,z, or the three values of the parameter\n"
    "      file's original system) with a parameter file; without one, between two\n"
    "      systems on one ellipsoid (B L H, X Y Z, x y h, a zone change). OUTPUT defaults\n"
    "      to INPUT less its last four characters, plus \"to\"; \"-\" is standard input\n"
    "      or output; an existing non-empty OUTPUT is replaced only with --force.\n"
    "      --inverse 由新坐标系反算回原坐标系（精确解算，不是取反参数的近似）。\n"
    "      --inverse converts from the new system back to the original one (solved\n"
    "      exactly, not the negated-parameter approximation).\n"
    "  kovarim-cli point (--params PARAMS | --from S1 --to S2) A B C\n"
    "      转换一个点，按窗口下方三个文本框的样子输出 X' Y' Z'；X Y Z 须是完整的数值。\n"
    "      Converts one point and prints X' Y' Z' as the window's lower boxes show them;\n"
    "      X Y Z must each be a whole number text.\n"
    "      --inverse 同上，反算。--inverse converts back, as for convert.\n"
    "  kovarim-cli adjust FILE [--from S1] [--to S2] [--params PARAMS] [--check NAMES]\n"
    "                    [--alpha A] [--json] [--quiet]\n"
    "      最小二乘平差：以形状良好的三点组合按最小中位数法稳健起算，全部好点等权参与，逐点\n"
    "      数据探测剔除粗差（显著水平 --alpha，取 1e-10 至 0.05，默认 0.001），不参与的点\n"
    "      通过检验即恢复；--check 所列点（逗号分隔，含逗号的点号像文件中一样加双引号：\n"
    "      '\"P,1\",P2'）不参与、只作检核；在公共点文件旁写出七参数平差报告；--params 写出\n"
    "      平差参数（convert、point 可直接使用）；--json 在标准输出给出 JSON。假定新坐标系\n"
    "      坐标误差等精度、互相独立。\n"
    "      Least-squares adjustment over all good points, equal weights, with a robust\n"
    "      start (least median of squares over well-shaped triples); blunders found by\n"
    "      data snooping (significance --alpha, 1e-10 to 0.05, default 0.001), every\n"
    "      point outside offered back whenever it passes; --check NAME[,NAME...] holds\n"
    "      points out as check points (a name with a comma in double quotes, as the file\n"
    "      has it: '\"P,1\",P2'). Writes <FILE less .txt>七参数平差报告.txt; --params\n"
    "      writes the adjusted parameters for convert and point; --json prints one JSON\n"
    "      object. Assumes equal, independent errors in the new system's coordinates.\n"
    "  kovarim-cli calibrate FILE --from S1 --to plane [--via gk:ELL:CM[,...]]\n"
    "                    [--height auto|none|constant|plane|quadratic] [--fixed-scale]\n"
    "                    [--check NAMES] [--alpha A] [--params PARAMS] [--json]\n"
    "      场地校正（四参数 + 高程拟合）：FILE 每行 点号,a,b,c,X,Y,h，前三个在原坐标系 S1\n"
    "      （plane、gk:... 或 blh:...；blh 须以 --via 给出高斯-克吕格投影），后三个在局部平面\n"
    "      （X 北、Y 东、h 局部高程）。平面四参数与高程异常曲面（auto：少于 4 点取常数，4 点起取\n"
    "      平面，7 点起取二次曲面）均为等权最小二乘，稳健起算与数据探测同 adjust；在 FILE 旁\n"
    "      写出四参数报告；--params 写出场地校正参数文件（convert、point 可直接使用）。\n"
    "      Site calibration: four parameters in the plane and a height surface, by\n"
    "      least squares with the robust start and data snooping of adjust. FILE holds\n"
    "      name,a,b,c,X,Y,h: a, b, c in S1 (plane, gk:... or blh:..., blh with its\n"
    "      projection --via gk:...), X north, Y east, h on the local plane. --height\n"
    "      auto takes a constant below 4 points, a plane from 4, a quadratic from 7.\n"
    "      Writes <FILE less its last 4 characters>四参数报告.txt; --params writes the\n"
    "      calibration for convert and point (which read either kind of file).\n"
    "  kovarim-cli --help | --version\n"
    "\n"
    "坐标系 Coordinate systems (--from 原坐标系 original, --to 新坐标系 new; 默认 default xyz):\n"
    "  xyz                  地心直角坐标 X Y Z（米） geocentric X Y Z, metres\n"
    "  blh:ELL[,dms]        B L 十进制度（dms：度分秒 ddd.mmssss，30.302515 即 30°30′25.15″），\n"
    "                       H 椭球高（米） B L in decimal degrees (or ddd.mmssss), H ellipsoidal\n"
    "  gk:ELL:CM[,zone=N][,k=K][,fe=E]\n"
    "                       高斯-克吕格 x 北、y 东（加 500000 米，zone=N 时前面带带号 "
    "N），h（米）；\n"
    "                       CM 中央子午线（十进制度） Gauss-Krueger x north, y east plus 500000\n"
    "                       (with zone=N the zone number in front), h; CM the central meridian\n"
    "  ELL                  cgcs2000, wgs84, bj54（克拉索夫斯基 Krassovsky）, xian80（IAG-75）,\n"
    "                       或 or A/RF（长半轴/扁率倒数 axis/inverse flattening: 6378245/298.3）\n"
    "  estimate、adjust 把两边各自换算为本椭球的 X Y Z 后计算，报告中的残差按新坐标系给出（米：\n"
    "  blh 为北、东、天，gk 为 x、y、h），参数文件记下两个坐标系，convert、point 据此读原坐标系、\n"
    "  写新坐标系（--inverse 相反）。gk 的 h 作为该椭球的椭球高；正常高与椭球高之差为常数时由\n"
    "  七参数吸收，似大地水准面倾斜时表现在残差中。Each side goes to X Y Z on its own ellipsoid;\n"
    "  the reports give the residuals in the new system's terms (north, east, up for blh;\n"
    "  x, y, h for gk); the parameter file keeps both systems for convert and point. A gk\n"
    "  height is taken as the ellipsoidal height on its ellipsoid: the seven parameters absorb\n"
    "  a constant offset to normal heights, a tilted geoid shows in the residuals. Output:\n"
    "  metres with 3 decimals, degrees with 9, ddd.mmssss with 5 decimals of seconds.\n"
    "  没有参数时两个不同的椭球（CGCS2000 与 WGS84 也不同）不能换算。Without parameters two\n"
    "  different ellipsoids (CGCS2000 and WGS84 among them) are refused.\n"
    "\n"
    "退出状态 Exit status: 0 完成 done; 1 输入有误或文件操作失败 bad input or a failed\n"
    "file operation; 2 命令行有误 wrong command line; 130 被中断 interrupted (Ctrl-C).\n";

// Ctrl-C, a polite kill or a closed terminal during an estimation, an
// adjustment or a conversion stops the work; nothing is put in place, and the
// files begun beside their targets go with the unwinding.
std::atomic<bool> interrupted{false};

void StopWhenInterrupted() { platform::StopOnInterrupt(interrupted); }

void ThrowIfInterrupted() {
    if (interrupted.load())
        throw SearchStopped{};
}

constexpr const char *kInterrupted =
    "已中断，没有写入任何文件 (interrupted; nothing was written)\n";

// A wrong command line: said on standard error, status 2.
struct Usage {
    std::string problem;
};

// The command line after the command: positional arguments and options.
struct Arguments {
    std::vector<std::string> positional;
    std::optional<std::string> params;
    bool force = false;
    bool inverse = false;
    bool json = false;                   // adjust
    bool quiet = false;                  // estimate, adjust: no progress line
    std::vector<std::string> check;      // adjust, each NAME[,NAME...] as given
    std::optional<std::string> alpha;    // adjust
    std::optional<std::string> from, to; // coordinate systems, as given
};

// An option given twice would leave the user unsure which one counted.
void Once(const std::optional<std::string> &option, const char *name) {
    if (option)
        throw Usage{std::string(name) + " 只能给一次 (" + name + " may be given once)"};
}

Arguments Parse(const std::vector<std::string> &argv, std::size_t first) {
    const std::size_t argc = argv.size();
    Arguments args;
    bool optionsEnd = false;
    for (std::size_t i = first; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnd || arg.rfind("--", 0) != 0) {
            args.positional.push_back(arg); // "-" and negative numbers included
        } else if (arg == "--") {
            optionsEnd = true;
        } else if (arg == "--force") {
            args.force = true;
        } else if (arg == "--inverse") {
            args.inverse = true;
        } else if (arg == "--json") {
            args.json = true;
        } else if (arg == "--quiet") {
            args.quiet = true;
        } else if (arg == "--check" || arg == "--alpha") {
            if (i + 1 == argc)
                throw Usage{arg + " 后面缺少值 (" + arg + " needs a value)"};
            if (arg == "--check") {
                args.check.push_back(argv[++i]);
            } else {
                Once(args.alpha, "--alpha");
                args.alpha = argv[++i];
            }
        } else if (arg.rfind("--check=", 0) == 0) {
            args.check.push_back(arg.substr(8));
        } else if (arg.rfind("--alpha=", 0) == 0) {
            Once(args.alpha, "--alpha");
            args.alpha = arg.substr(8);
        } else if (arg == "--from" || arg == "--to" || arg.rfind("--from=", 0) == 0 ||
                   arg.rfind("--to=", 0) == 0) {
            const bool from = arg.rfind("--from", 0) == 0;
            const char *name = from ? "--from" : "--to";
            std::optional<std::string> &system = from ? args.from : args.to;
            Once(system, name);
            const std::size_t equals = arg.find('=');
            if (equals == std::string::npos && i + 1 == argc)
                throw Usage{std::string(name) + " 后面缺少坐标系 (" + name +
                            " needs a coordinate system)"};
            system = equals == std::string::npos ? argv[++i] : arg.substr(equals + 1);
        } else if (arg == "--params" || arg.rfind("--params=", 0) == 0) {
            Once(args.params, "--params");
            if (arg == "--params" && i + 1 == argc)
                throw Usage{"--params 后面缺少参数文件名 (--params needs a file)"};
            args.params = arg == "--params" ? argv[++i] : arg.substr(9);
            if (args.params->empty())
                throw Usage{"--params 的文件名为空 (--params needs a file name)"};
        } else {
            throw Usage{"未知的选项 (unknown option) " + arg};
        }
    }
    return args;
}

void Expect(const Arguments &args, std::size_t least, std::size_t most, bool needsParams) {
    if (args.positional.size() < least || args.positional.size() > most)
        throw Usage{"参数个数不对 (wrong number of arguments)"};
    if (needsParams && !args.params)
        throw Usage{"缺少 --params (--params is required)"};
}

// The systems of --from and --to, xyz where one is not given. One that
// cannot be read is a wrong command line, its message naming the option and
// listing the forms.
PointSystems SystemsOf(const Arguments &args) {
    PointSystems systems;
    const auto parse = [](const std::optional<std::string> &text, const char *name) {
        if (!text)
            return CoordinateSystem::Cartesian();
        try {
            return ParseCoordinateSystem(*text);
        } catch (const Error &e) {
            throw Usage{std::string(name) + "：" + e.problem()};
        }
    };
    systems.from = parse(args.from, "--from");
    systems.to = parse(args.to, "--to");
    return systems;
}

// What the commands print about the systems: nothing for xyz to xyz.
std::string SystemsLine(const PointSystems &systems) {
    if (systems.Cartesian())
        return {};
    return "坐标系 systems: " + CoordinateSystemText(systems.from) + " -> " +
           CoordinateSystemText(systems.to) + "\n";
}

// The conversion of convert and point: with --params, the parameter file's
// systems (--from and --to, if given, must be the same); without, --from
// and --to on one ellipsoid. --inverse goes from the new system back.
// A conversion by a parameter file of either kind, told apart by the file's
// kind line (the seven parameters, or a site calibration's road from its
// source system), or between two systems on one ellipsoid.
struct AnyConversion {
    std::optional<SystemConversion> seven;
    std::optional<CalibrationFile> site;
};

AnyConversion ConversionOf(const Arguments &args) {
    const Direction direction = args.inverse ? Direction::Inverse : Direction::Forward;
    const PointSystems given = SystemsOf(args);
    if (args.params) {
        const KeyValueFile any = ReadKeyValueFile(*args.params); // read once: it may be a pipe
        if (IsCalibrationFile(any)) {
            if (args.from || args.to)
                throw Usage{"场地校正参数文件自带坐标系，不用 --from、--to (a site calibration's "
                            "file names its own systems: no --from, --to)"};
            return {std::nullopt, ReadCalibrationFile(any)};
        }
        const ParameterFile file = ReadParameters(any);
        const auto same = [&](const std::optional<std::string> &option, const char *name,
                              const CoordinateSystem &argument, const CoordinateSystem &inFile,
                              const char *side) {
            if (option && !(argument == inFile))
                throw Error::InFile(*args.params, std::string("参数文件的") + side + "是 " +
                                                      CoordinateSystemText(inFile) + "，而 " +
                                                      name + " 是 " +
                                                      CoordinateSystemText(argument) +
                                                      "；这组七参数只用于参数文件中的坐标系");
        };
        same(args.from, "--from", given.from, file.systems.from, "原坐标系（from）");
        same(args.to, "--to", given.to, file.systems.to, "新坐标系（to）");
        return {SystemConversion(file.systems, file.params, direction), std::nullopt};
    }
    if (!args.from && !args.to)
        throw Usage{"缺少 --params，或 --from 和 --to (--params, or --from and --to, are "
                    "required)"};
    const PointSystems systems = args.inverse ? PointSystems{given.to, given.from} : given;
    if (const auto different = DifferentEllipsoids(systems))
        throw Usage{*different + "；请用 --params 给出两者之间的七参数 (two ellipsoids need "
                                 "the seven parameters between them: give --params)"};
    return {SystemConversion(systems), std::nullopt};
}

int Estimate(const Arguments &args) {
    Expect(args, 1, 1, false);
    const std::string &file = args.positional[0];
    // Every target is checked before anything is written: the parameter file
    // must be neither the input nor the report, and must be writable.
    std::optional<ReplacementFile> paramsFile;
    if (args.params) {
        cli::RefuseParameterFileOver(*args.params, file, ReportPathFor(file));
        paramsFile.emplace(*args.params);
    }
    StopWhenInterrupted();
    cli::ProgressLine progress(!args.quiet);
    EstimationHooks hooks;
    hooks.progress.stop = &interrupted;
    hooks.progress.started = [&](long long triples) { progress.Started(triples); };
    hooks.progress.done = progress.done();
    hooks.searchDone = [&] { progress.Stop(); };
    const PointSystems systems = SystemsOf(args);
    std::optional<Estimation> estimation;
    try {
        estimation = kovarim::Estimate(file, hooks, systems);
    } catch (const Error &e) {
        if (!e.file().empty())
            throw;
        // The window's box speaks of the file just chosen; here it is named.
        throw Error::InFile(file, e.problem());
    }
    const Estimation::Summary &summary = estimation->summary();
    const Params &p = estimation->params();
    if (paramsFile) {
        paramsFile->writer().Write(ParameterFileText(p, file, cli::Utf8Name(summary.first),
                                                     cli::Utf8Name(summary.second),
                                                     cli::Utf8Name(summary.third), systems));
        paramsFile->Finish();
    }

    std::string text = "报告 report: " + estimation->reportPath() + "\n" + SystemsLine(systems) +
                       "三点 triple: " + cli::Utf8Name(summary.first) + " -- " +
                       cli::Utf8Name(summary.second) + " -- " + cli::Utf8Name(summary.third) + "\n";
    const char *names[] = {nullptr, "DX", "DY", "DZ", "Scale", "RotX", "RotY", "RotZ"};
    for (int n = DX; n <= RotZ; ++n)
        text += std::string(names[n]) + std::string(5 - std::strlen(names[n]), ' ') + " = " +
                FormatNumber(p[n]) + "\n";
    text += "最大残差 largest residual: " + FormatNumber(summary.largestResidual);
    if (!summary.largestAt.empty())
        text +=
            std::string(" (") + cli::Utf8Name(summary.largestAt) + ", " + summary.largestAxis + ")";
    ThrowIfInterrupted();
    cli::PrintNow(text + "\n");
    CommitAll({&estimation->report(), paramsFile ? &*paramsFile : nullptr});
    // The window asks here whether to convert with the adjusted parameters;
    // a command says it, and changes nothing.
    if (const auto review = ReviewTriple(estimation->table(), estimation->choice(), p))
        cli::Say("注意 note: " +
                 WeakTripleFinding(estimation->table(), review->adjustment, review->weak) +
                 "；kovarim-cli adjust 给出最小二乘平差的七参数 (the best triple fits the other "
                 "points clearly worse than least squares: see kovarim-cli adjust)\n");
    return 0;
}

int Convert(const Arguments &args) {
    Expect(args, 1, 2, false);
    const AnyConversion conversion = ConversionOf(args);
    const Direction direction = args.inverse ? Direction::Inverse : Direction::Forward;
    const auto convertFile = [&](auto &input, const std::string &output, const auto &replace) {
        return conversion.site
                   ? ConvertFile(input, output, *conversion.site, replace, direction, &interrupted)
                   : ConvertFile(input, output, *conversion.seven, replace, &interrupted);
    };
    const std::string &input = args.positional[0];
    std::string output;
    if (input.empty())
        throw Error("输入文件名为空");
    if (args.positional.size() == 2) {
        output = args.positional[1];
    } else if (input == "-") {
        output = "-";
    } else if (const auto proposed = ProposedOutputName(input)) {
        output = *proposed;
    } else {
        throw Usage{"输入文件名太短，无法给出输出文件名；请指定 OUTPUT (give OUTPUT)"};
    }

    // No command destroys its own input: the output is neither the parameter
    // file nor what standard input reads, and standard output is not the input.
    if (output != "-" && args.params && platform::SameFile(output, *args.params))
        throw Error::InFile(output, "输出文件就是参数文件，不能替换它；请另选输出文件名");
    if (input == "-" && output != "-" && platform::SameFile(stdin, output))
        throw Error::InFile(output, "输出文件就是标准输入读取的文件，不能替换它；请另选输出文件名");
    if (input != "-" && output == "-" && platform::SameFile(stdout, input))
        throw Error::InFile(input, "标准输出写入的就是输入文件；请另选输出");

    StopWhenInterrupted();
    // The window asks before it replaces a non-empty file; a command cannot.
    const auto replace = [&] { return args.force; };
    auto refuseReplacing = [&](BatchOutcome outcome) {
        if (outcome == BatchOutcome::Cancelled)
            throw Error::InFile(output, "文件已经存在，且不是空的；要替换它请加 --force");
        return 0;
    };
    if (input != "-" && output != "-")
        return refuseReplacing(convertFile(input, output, replace));

    std::optional<FieldReader> reader;
    if (input == "-")
        reader.emplace(stdin, "标准输入");
    else
        reader.emplace(input);
    if (output != "-")
        return refuseReplacing(convertFile(*reader, output, replace));

    // Standard output gets the lines only once all are converted, so that a
    // failure leaves nothing there; meanwhile they wait in a temporary file.
    std::string reason;
    const std::unique_ptr<std::FILE, int (*)(std::FILE *)> spool(platform::OpenTemporary(reason),
                                                                 std::fclose);
    if (!spool)
        throw Error("无法创建临时文件（" + reason + "）");
    auto put = [](std::FILE *to, std::string_view bytes, const char *where) {
        if (std::fwrite(bytes.data(), 1, bytes.size(), to) != bytes.size())
            throw Error(std::string(where) + "写入失败");
    };
    if (reader->hadUtf8Mark())
        put(spool.get(), kUtf8Mark, "临时文件");
    long long converted = 0;
    const auto spoolLines = [&](std::string_view lines) { put(spool.get(), lines, "临时文件"); };
    if (conversion.site)
        ConvertRecords(*reader, *conversion.site, spoolLines, converted, direction, &interrupted);
    else
        ConvertRecords(*reader, *conversion.seven, spoolLines, converted, &interrupted);
    std::rewind(spool.get());
    char block[1 << 16];
    for (std::size_t n; (n = std::fread(block, 1, sizeof block, spool.get())) > 0;)
        if (!platform::WriteBytes(stdout, std::string_view(block, n)))
            throw Error("标准输出写入失败");
    if (std::ferror(spool.get()) || std::fflush(stdout) != 0)
        throw Error("写入标准输出失败");
    return 0;
}

int Adjust(const Arguments &args) {
    Expect(args, 1, 1, false);
    StopWhenInterrupted();
    std::vector<std::string> check;
    for (const std::string &list : args.check)
        if (!cli::SplitNames(list, check))
            throw Usage{cli::kBadCheckList};
    cli::AdjustArguments adjust;
    adjust.file = args.positional[0];
    adjust.params = args.params;
    adjust.check = check;
    adjust.alpha = kDefaultAlpha;
    adjust.json = args.json;
    adjust.stop = &interrupted;
    adjust.quiet = args.quiet;
    adjust.systems = SystemsOf(args);
    if (args.alpha) {
        const ParsedNumber alpha = ParseFieldNumber(*args.alpha);
        if (alpha.status != NumberParse::Ok ||
            !(alpha.value >= kSmallestAlpha && alpha.value <= kLargestAlpha))
            throw Usage{"--alpha 应在 1e-10 与 0.05 之间 (--alpha must lie in [1e-10, 0.05])"};
        adjust.alpha = alpha.value;
    }
    return cli::RunAdjust(adjust);
}

// What is wrong with a value typed as a coordinate that is not a number.
std::string WhyNotANumber(const std::string &value) {
    if (value.empty())
        return " 为空";
    return (IsValidUtf8(value) ? QuotedForMessage(value) : std::string()) + " 不是数值";
}

int Point(const Arguments &args) {
    Expect(args, 3, 3, false);
    const AnyConversion any = ConversionOf(args);
    if (any.site) {
        const std::array<std::string, 3> shown = ConvertSitePoint(
            *any.site, {args.positional[0], args.positional[1], args.positional[2]},
            args.inverse ? Direction::Inverse : Direction::Forward);
        std::printf("%s %s %s\n", shown[0].c_str(), shown[1].c_str(), shown[2].c_str());
        return 0;
    }
    const SystemConversion &conversion = *any.seven;
    // The window's boxes read "12m" as 12 and "abc" as 0, under the user's
    // eyes; a script's typo or decimal comma would pass unseen, so here each
    // value must be a whole number text (the same value the boxes read).
    const char *system = args.inverse ? "新坐标系 " : "原坐标系 ";
    if (conversion.Cartesian()) {
        for (int i = 0; i < 3; ++i)
            if (ParseFieldNumber(args.positional[i]).status == NumberParse::NotANumber)
                throw Error(std::string(system) + "XYZ"[i] + WhyNotANumber(args.positional[i]));
        std::string shown[3];
        ConvertSinglePoint(
            conversion.params(), args.positional[0], args.positional[1], args.positional[2],
            [&](Axis axis, const std::string &text) { shown[static_cast<int>(axis)] = text; },
            conversion.direction());
        std::printf("%s %s %s\n", shown[0].c_str(), shown[1].c_str(), shown[2].c_str());
        return 0;
    }
    // In a system: each value in its form (ddd.mmssss for blh,dms), checked,
    // and the result in the target's forms.
    Values values;
    for (int i = 0; i < 3; ++i) {
        try {
            values[i] = conversion.Read(i, args.positional[i]);
        } catch (const Error &e) {
            throw Error(system +
                        (IsValidUtf8(args.positional[i])
                             ? e.problem()
                             : ValueName(conversion.source(), i) + std::string(" 不是数值")));
        }
    }
    std::string line;
    try {
        conversion.Append(line, conversion.Convert(values), ' ');
    } catch (const Error &e) {
        throw Error(e.field() > 0 ? system + e.problem() : e.problem());
    }
    cli::PrintNow(line + "\n");
    return 0;
}

// Results on standard output count only once they are there: a closed or
// full standard output fails the command.
int Finished(int status) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return status;
    cli::Say("写入标准输出失败（" + platform::LastReason() + "）\n");
    return 1;
}

int Run(const std::vector<std::string> &argv) {
    try {
        const std::string command = argv.size() > 1 ? argv[1] : "";
        if (command == "--help" || command == "-h") {
            cli::PrintNow(kHelp);
            return 0;
        }
        if (command == "--version") {
            std::puts("Kovarim " KOVARIM_VERSION);
            return 0;
        }
        if (command == "calibrate") {
            cli::CalibrateArguments calibrate = cli::ParseCalibrateArguments(argv, 2);
            calibrate.stop = &interrupted;
            StopWhenInterrupted();
            return cli::RunCalibrate(calibrate);
        }
        const Arguments args = Parse(argv, 2);
        if (args.inverse && command != "convert" && command != "point")
            throw Usage{"--inverse 只用于 convert 和 point (--inverse is for convert and point)"};
        if ((args.json || !args.check.empty() || args.alpha) && command != "adjust")
            throw Usage{"--json、--check、--alpha 只用于 adjust (they are for adjust)"};
        if (args.quiet && command != "estimate" && command != "adjust")
            throw Usage{"--quiet 只用于 estimate 和 adjust (--quiet is for estimate and adjust)"};
        if (command == "adjust")
            return Adjust(args);
        if (command == "estimate")
            return Estimate(args);
        if (command == "convert")
            return Convert(args);
        if (command == "point")
            return Point(args);
        throw Usage{command.empty() ? "缺少命令 (no command)"
                                    : "未知的命令 (unknown command) " + command};
    } catch (const Usage &usage) {
        cli::Say("kovarim-cli: " + usage.problem + "\n\n" + kHelp);
        return 2;
    } catch (const cli::CalibrateUsage &usage) {
        cli::Say("kovarim-cli: " + usage.problem + "\n\n" + kHelp);
        return 2;
    } catch (const Error &e) {
        if (interrupted.load()) { // what failed was given up for the interruption
            cli::Say(kInterrupted);
            return 130;
        }
        cli::Say(std::string(e.what()) + "\n");
        return 1;
    } catch (const SearchStopped &) {
        cli::Say(kInterrupted);
        return 130;
    } catch (const ConversionStopped &) {
        cli::Say(kInterrupted);
        return 130;
    } catch (const std::bad_alloc &) {
        cli::Say("内存不足，命令已中止\n");
        return 1;
    } catch (const std::exception &e) {
        cli::Say(std::string("命令已中止：") + e.what() + "\n");
        return 1;
    }
}

int Main(const std::vector<std::string> &argv) {
    platform::GuardStandardStreams();
    platform::WriteFailuresAsErrors();
    platform::UseStandardStreamsForBytes(); // else "convert - -" would change bytes on Windows
    const int status = Run(argv);
    return status == 0 ? Finished(status) : status;
}

} // namespace

#ifdef _WIN32
// Windows gives the arguments as UTF-16 only to wmain (-municode).
int wmain(int argc, wchar_t *argv[]) { return Main(platform::Utf8Arguments(argc, argv)); }
#else
int main(int argc, char *argv[]) { return Main(std::vector<std::string>(argv, argv + argc)); }
#endif
