// kovarim-cli as a process: arguments in, bytes and exit status out, held
// against the core functions the window calls on the same files.
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "adjustment/adjustment_report.h"
#include "calibration/calibration_points.h"
#include "calibration/calibration_report.h"
#include "conversion/batch_conversion.h"
#include "conversion/calibration_file.h"
#include "conversion/parameter_file.h"
#include "conversion/single_point.h"
#include "conversion/system_conversion.h"
#include "estimation/estimate.h"
#include "geodesy/value_text.h"
#include "testkit.h"
#include "textio/encoding.h"

#ifndef _WIN32
extern char **environ;
#endif

namespace kovarim {
namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

// Where the standard streams of a run come from and go to, when not the
// usual files of Cli().
struct Streams {
    std::string in;         // a file of the folder to read standard input from
    std::string out;        // a path to write standard output to
    bool outClosed = false; // standard output closed, as `>&-` leaves it
    bool outUnread = false; // standard output a pipe that no one reads any more
};

#ifdef _WIN32

std::wstring Wide(const std::string &utf8) { return testkit::Fs(utf8).wstring(); }

// One argument as the C runtime splits a command line: quoted, backslashes
// doubled only before a quote.
std::wstring Quoted(const std::wstring &arg) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

// Runs kovarim-cli with `args` in `folder`, its standard streams from and to
// the files `in`, `out` and `err` or as `streams` says: its exit status, or
// nothing when it did not start.
std::optional<int> Spawn(std::vector<std::string> args, const std::string &folder,
                         const std::string &in, const std::string &out, const std::string &err,
                         const Streams &streams) {
    std::wstring command = Quoted(Wide(KOVARIM_CLI));
    for (const std::string &a : args)
        command += L" " + Quoted(Wide(a));
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const auto open = [&](const std::string &path, DWORD access, DWORD disposition) {
        return CreateFileW(Wide(path).c_str(), access, share, &inherited, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = open(in, GENERIC_READ, OPEN_EXISTING);
    startup.hStdError = open(err, GENERIC_WRITE, CREATE_ALWAYS);
    if (streams.outUnread) {
        HANDLE reader = nullptr;
        CreatePipe(&reader, &startup.hStdOutput, &inherited, 0);
        CloseHandle(reader);
    } else if (!streams.outClosed) {
        startup.hStdOutput = open(out, GENERIC_WRITE, CREATE_ALWAYS);
    }
    PROCESS_INFORMATION process{};
    std::optional<int> status;
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       Wide(folder).c_str(), &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        status = static_cast<int>(code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    return status;
}

#else

std::optional<int> Spawn(std::vector<std::string> args, const std::string &folder,
                         const std::string &in, const std::string &out, const std::string &err,
                         const Streams &streams) {
    args.insert(args.begin(), KOVARIM_CLI);
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, in.c_str(), O_RDONLY, 0);
    if (streams.outClosed)
        posix_spawn_file_actions_addclose(&files, 1);
    else
        posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&files, folder.c_str());
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    if (spawned != 0)
        return std::nullopt;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif

// Runs kovarim-cli in `folder` with `args`, `input` on its standard input.
Outcome Cli(const testkit::TempDir &folder, std::vector<std::string> args,
            const std::string &input = "", const Streams &streams = {}) {
    const std::string in = streams.in.empty() ? folder.Write(".stdin", input)
                                              : folder.Path(streams.in),
                      out = streams.out.empty() ? folder.Path(".stdout") : streams.out,
                      err = folder.Path(".stderr");
    Outcome run;
    const std::optional<int> status = Spawn(args, folder.Path(""), in, out, err, streams);
    if (!status)
        return run;
    run.status = *status;
    if (streams.out.empty() && !streams.outClosed && !streams.outUnread)
        run.out = testkit::ReadBytes(out);
    run.err = testkit::ReadBytes(err);
    for (const char *name : {".stdin", ".stdout", ".stderr"})
        std::filesystem::remove(testkit::Fs(folder.Path(name)));
    return run;
}

// The one object that --json prints, read as strictly as RFC 8259 has it
// (no doubled or trailing commas, no bare control characters, no 01 or nan),
// keys in their order; discarded, and the test failed, when it is not JSON.
nlohmann::ordered_json ParsedJson(const std::string &text) {
    auto json = nlohmann::ordered_json::parse(text, nullptr, /*allow_exceptions=*/false);
    EXPECT_FALSE(json.is_discarded()) << text;
    EXPECT_TRUE(json.is_object()) << text;
    return json;
}

// PROJ's cct, where it is installed (never on Windows here).
bool HaveCct() {
#ifdef _WIN32
    return false;
#else
    return std::system("command -v cct >/dev/null 2>&1") == 0;
#endif
}

std::string Example(const std::string &name) {
    return testkit::ReadBytes(KOVARIM_SOURCE_DIR "/examples/" + name);
}

// The example common points in GBK as shipped, in UTF-8, and in UTF-8 with a
// byte order mark: the report is the same GBK report from each.
std::vector<std::pair<std::string, std::string>> CommonPointFiles() {
    const std::string gbk = Example("common_points.txt");
    const std::string utf8 = ToUtf8(gbk, Encoding::Gbk);
    return {{"GBK", gbk}, {"UTF-8", utf8}, {"UTF-8 with a mark", "\xEF\xBB\xBF" + utf8}};
}

TEST(KovarimCli, EstimatesAsTheWindowDoes) {
    for (const auto &[encoding, content] : CommonPointFiles()) {
        testkit::TempDir cli, core;
        cli.Write("gps.txt", content);
        const Outcome run = Cli(cli, {"estimate", "gps.txt", "--params", "p.txt"});
        ASSERT_EQ(run.status, 0) << encoding << ": " << run.err;
        EXPECT_EQ(run.err, "") << encoding;

        std::optional<Estimation> estimation = Estimate(core.Write("gps.txt", content), {});
        ASSERT_TRUE(estimation) << encoding;
        estimation->Commit();
        EXPECT_EQ(testkit::ReadBytes(cli.Path("gps七参数精度评估.txt")),
                  testkit::ReadBytes(core.Path("gps七参数精度评估.txt")))
            << encoding;
        EXPECT_EQ(ReadParameterFile(cli.Path("p.txt")), estimation->params()) << encoding;
        EXPECT_NE(run.out.find("GPS03 -- 石桥 -- GPS12"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("-0.34984 (东山, X)"), std::string::npos) << run.out;
    }
}

// A weak best triple: the estimate says it in one line on standard error,
// naming adjust, and changes nothing else: the status, the report, the
// parameter file and standard output are those of the core's estimation.
TEST(KovarimCli, EstimateSaysWhenTheBestTripleIsWeak) {
    testkit::TempDir cli, core;
    cli.Write("weak.txt", Example("weak_triple.txt"));
    const Outcome run = Cli(cli, {"estimate", "weak.txt", "--params", "p.txt"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    for (const char *says :
         {"李村 的 Z 残差为 -4.51119", "σ0 = 0.00284", "没有粗差", "kovarim-cli adjust"})
        EXPECT_NE(run.err.find(says), std::string::npos) << says << "\n" << run.err;
    std::optional<Estimation> estimation =
        Estimate(core.Write("weak.txt", Example("weak_triple.txt")), {});
    estimation->Commit();
    EXPECT_EQ(testkit::ReadBytes(cli.Path("weak七参数精度评估.txt")),
              testkit::ReadBytes(core.Path("weak七参数精度评估.txt")));
    EXPECT_EQ(ReadParameterFile(cli.Path("p.txt")), estimation->params());
    EXPECT_EQ(cli.Names(),
              (std::vector<std::string>{"p.txt", "weak.txt", "weak七参数精度评估.txt"}));
    const Outcome quiet = Cli(core, {"estimate", "weak.txt"});
    EXPECT_EQ(quiet.out, run.out);
}

TEST(KovarimCli, ConvertsAndPointsAsTheWindowDoes) {
    testkit::TempDir cli, core;
    cli.Write("gps.txt", Example("common_points.txt"));
    ASSERT_EQ(Cli(cli, {"estimate", "gps.txt", "--params", "p.txt"}).status, 0);
    const Params params = ReadParameterFile(cli.Path("p.txt"));
    const std::string batch = Example("batch_points.txt");
    cli.Write("pts.txt", batch);
    ConvertFile(core.Write("pts.txt", batch), core.Path("ptsto"), params, [] { return true; });
    const std::string expected = testkit::ReadBytes(core.Path("ptsto"));

    const struct {
        const char *name;
        std::vector<std::string> args;
        std::string input, outputFile; // empty: standard output
    } cases[] = {
        {"proposed output name", {"convert", "--params", "p.txt", "pts.txt"}, "", "ptsto"},
        {"named output", {"convert", "pts.txt", "out.txt", "--params=p.txt"}, "", "out.txt"},
        {"to standard output", {"convert", "--params", "p.txt", "pts.txt", "-"}, "", ""},
        {"standard input and output", {"convert", "--params", "p.txt", "-"}, batch, ""},
        {"standard input to a file",
         {"convert", "--params", "p.txt", "-", "o.txt"},
         batch,
         "o.txt"},
    };
    for (const auto &c : cases) {
        const Outcome run = Cli(cli, c.args, c.input);
        ASSERT_EQ(run.status, 0) << c.name << ": " << run.err;
        EXPECT_EQ(c.outputFile.empty() ? run.out : testkit::ReadBytes(cli.Path(c.outputFile)),
                  expected)
            << c.name;
        if (!c.outputFile.empty())
            std::filesystem::remove(testkit::Fs(cli.Path(c.outputFile)));
    }

    for (const std::vector<std::string> &xyz :
         {std::vector<std::string>{"2860321.78", "592341.79", "0"},
          std::vector<std::string>{"-1.5e3", "+.5", "-0"}}) {
        std::string shown[3];
        ConvertSinglePoint(params, xyz[0], xyz[1], xyz[2],
                           [&](Axis a, const std::string &t) { shown[static_cast<int>(a)] = t; });
        const Outcome run = Cli(cli, {"point", "--params", "p.txt", xyz[0], xyz[1], xyz[2]});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, shown[0] + " " + shown[1] + " " + shown[2] + "\n");
    }
}

// --inverse converts back with the core's exact inverse, through both commands.
TEST(KovarimCli, ConvertsAndPointsBackWithInverse) {
    testkit::TempDir cli, core;
    cli.Write("gps.txt", Example("common_points.txt"));
    ASSERT_EQ(Cli(cli, {"estimate", "gps.txt", "--params", "p.txt"}).status, 0);
    const Params params = ReadParameterFile(cli.Path("p.txt"));
    const std::string batch = Example("batch_points.txt");
    cli.Write("pts.txt", batch);
    ConvertFile(
        core.Write("pts.txt", batch), core.Path("ptsto"), params, [] { return true; },
        Direction::Inverse);
    const Outcome converted = Cli(cli, {"convert", "--inverse", "--params", "p.txt", "pts.txt"});
    ASSERT_EQ(converted.status, 0) << converted.err;
    EXPECT_EQ(testkit::ReadBytes(cli.Path("ptsto")), testkit::ReadBytes(core.Path("ptsto")));

    std::string shown[3];
    ConvertSinglePoint(
        params, "2860229.32", "592371.83", "7.25",
        [&](Axis a, const std::string &t) { shown[static_cast<int>(a)] = t; }, Direction::Inverse);
    const Outcome point =
        Cli(cli, {"point", "--params", "p.txt", "2860229.32", "592371.83", "7.25", "--inverse"});
    EXPECT_EQ(point.status, 0) << point.err;
    EXPECT_EQ(point.out, shown[0] + " " + shown[1] + " " + shown[2] + "\n");
    const Outcome forward =
        Cli(cli, {"point", "--params", "p.txt", "2860229.32", "592371.83", "7.25"});
    EXPECT_NE(forward.out, point.out); // the option is not ignored
}

// kovarim-cli adjust on the example: 东山 found, the other 11 used, σ0 of a
// few millimetres; the report, the parameter file and --json all hold the
// core's numbers to the last bit, from a GBK or a UTF-8 file alike.
TEST(KovarimCli, AdjustsTheExampleAsTheCoreDoes) {
    for (const auto &[encoding, content] : CommonPointFiles()) {
        testkit::TempDir cli, core;
        cli.Write("gps.txt", content);
        const Outcome run = Cli(cli, {"adjust", "gps.txt", "--params", "p.txt", "--json"});
        ASSERT_EQ(run.status, 0) << encoding << ": " << run.err;
        EXPECT_EQ(run.err, "") << encoding;
        AdjustedFile expected = AdjustCommonPointFile(core.Write("gps.txt", content), {});
        expected.report->Commit();
        const Adjustment &a = expected.adjustment;
        EXPECT_EQ(testkit::ReadBytes(cli.Path("gps七参数平差报告.txt")),
                  testkit::ReadBytes(core.Path("gps七参数平差报告.txt")))
            << encoding;
        EXPECT_EQ(ReadParameterFile(cli.Path("p.txt")), a.params) << encoding;

        const nlohmann::ordered_json j = ParsedJson(run.out);
        ASSERT_TRUE(j.is_object());
        // Scripts may rely on the keys and their order.
        std::vector<std::string> keys, pointKeys;
        for (const auto &[key, value] : j.items())
            keys.push_back(key);
        for (const auto &[key, value] : j.at("points").at(0).items())
            pointKeys.push_back(key);
        EXPECT_EQ(keys, (std::vector<std::string>{
                            "file", "report", "params", "sigma", "sigma0", "redundancy", "alpha",
                            "critical_used", "critical_others", "centroid", "centroid_translation",
                            "centroid_translation_sigma", "correlation", "robust_limit", "points",
                            "check_rms", "triple", "triple_params"}));
        EXPECT_EQ(pointKeys,
                  (std::vector<std::string>{"name", "state", "residual", "test", "critical",
                                            "passed", "redundancy_numbers", "set_aside_at_start"}));
        const char *names7[] = {"DX", "DY", "DZ", "Scale", "RotX", "RotY", "RotZ"};
        for (int n = DX; n <= RotZ; ++n) {
            EXPECT_EQ(j.at("params").at(names7[n - 1]).get<double>(), a.params[n]) << n;
            EXPECT_EQ(j.at("sigma").at(names7[n - 1]).get<double>(), a.sigma[n]) << n;
        }
        EXPECT_EQ(j.at("sigma0").get<double>(), a.sigma0);
        EXPECT_GT(a.sigma0, 0.001);
        EXPECT_LT(a.sigma0, 0.005);
        EXPECT_EQ(j.at("redundancy"), 26);
        EXPECT_EQ(j.at("critical_used").get<double>(), a.criticalUsed);
        EXPECT_EQ(j.at("centroid").at(0).get<double>(), a.centroid.X);
        EXPECT_EQ(j.at("centroid_translation").at(2).get<double>(), a.centroidShift[2]);
        ASSERT_EQ(j.at("correlation").size(), 7u);
        for (int k = 0; k < 7; ++k) {
            ASSERT_EQ(j.at("correlation").at(k).size(), 7u);
            EXPECT_EQ(j.at("correlation").at(k).at(k).get<double>(), 1.0);
            EXPECT_EQ(j.at("correlation").at(k).at(6 - k).get<double>(), a.correlation[k][6 - k]);
        }
        const std::vector<std::string> names = {"王家庄", "李村", "GPS03", "张庄", "石桥", "GPS06",
                                                "东山",   "西岭", "GPS09", "南湾", "北塔", "GPS12"};
        ASSERT_EQ(j.at("points").size(), names.size());
        for (std::size_t i = 0; i < names.size(); ++i) {
            const nlohmann::ordered_json &p = j.at("points").at(i);
            EXPECT_EQ(p.at("name"), names[i]);
            EXPECT_EQ(p.at("state"), names[i] == "东山" ? "blunder" : "used") << names[i];
            EXPECT_EQ(p.at("residual").at(0).get<double>(), a.points[i].residual[0]) << names[i];
            EXPECT_EQ(p.at("test").get<double>(), *a.points[i].test) << names[i];
            EXPECT_EQ(p.at("passed"), names[i] != "东山") << names[i];
        }
        EXPECT_EQ(j.at("robust_limit").get<double>(), a.robustLimit);
        EXPECT_EQ(j.at("triple"), (std::vector<std::string>{"GPS03", "石桥", "GPS12"}));
        EXPECT_TRUE(j.at("check_rms").is_null());
    }
}

// The adjusted parameter file converts with convert as the core converts,
// and its PROJ line gives cct the same coordinates.
TEST(KovarimCli, AdjustedParametersConvertAndGoThroughCct) {
    testkit::TempDir dir, core;
    dir.Write("gps.txt", Example("common_points.txt"));
    const Outcome run = Cli(dir, {"adjust", "gps.txt", "--params", "p.txt"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("粗差 blunders: 东山"), std::string::npos) << run.out;
    const std::string text = testkit::ReadBytes(dir.Path("p.txt"));
    EXPECT_NE(text.find("# blunders: 东山\n"), std::string::npos) << text;
    EXPECT_NE(text.find("# points used (11): 王家庄, 李村,"), std::string::npos) << text;
    const Params params = ReadParameterFile(dir.Path("p.txt"));
    const std::string batch = Example("batch_points.txt");
    dir.Write("pts.txt", batch);
    ConvertFile(core.Write("pts.txt", batch), core.Path("ptsto"), params, [] { return true; });
    ASSERT_EQ(Cli(dir, {"convert", "--params", "p.txt", "pts.txt"}).status, 0);
    EXPECT_EQ(testkit::ReadBytes(dir.Path("ptsto")), testkit::ReadBytes(core.Path("ptsto")));

    if (!HaveCct())
        GTEST_SKIP() << "cct (Debian package proj-bin) is not installed";
    const std::string proj = text.substr(text.find("proj = ") + 7, std::string::npos);
    dir.Write("points", "2860321.78 592341.79 12.5 0\n2858000 589000 180 0\n");
    const std::string command = "cd '" + dir.Path("") + "' && cct -d 10 " +
                                proj.substr(0, proj.find('\n')) + " points > cct.out 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::istringstream cct(testkit::ReadBytes(dir.Path("cct.out")));
    for (const Point3 &in : {Point3{2860321.78, 592341.79, 12.5}, Point3{2858000, 589000, 180}}) {
        const Point3 ours = TransformPoint(params, in.X, in.Y, in.Z);
        double x = 0, y = 0, z = 0, t = 0;
        ASSERT_TRUE(cct >> x >> y >> z >> t);
        EXPECT_NEAR(x, ours.X, 1e-6);
        EXPECT_NEAR(y, ours.Y, 1e-6);
        EXPECT_NEAR(z, ours.Z, 1e-6);
    }
}

// Check points by name (both option forms, commas inside), the stated
// significance, and names that JSON must escape.
TEST(KovarimCli, AdjustsWithCheckPointsAlphaAndAnyName) {
    testkit::TempDir dir;
    dir.Write("gps.txt", Example("common_points.txt"));
    const Outcome checked = Cli(dir, {"adjust", "gps.txt", "--check", "北塔,GPS09", "--check=GPS06",
                                      "--alpha", "0.01", "--json"});
    ASSERT_EQ(checked.status, 0) << checked.err;
    const nlohmann::ordered_json j = ParsedJson(checked.out);
    ASSERT_TRUE(j.is_object());
    EXPECT_EQ(j.at("alpha").get<double>(), 0.01);
    int checks = 0;
    for (const auto &p : j.at("points"))
        checks += p.at("state") == "check";
    EXPECT_EQ(checks, 3);
    EXPECT_EQ(j.at("check_rms").size(), 4u);

    std::string odd;
    const char *names[] = {"Q\"1", "B\\2", "C\t3", "D4", "E/5"};
    for (int i = 0; i < 5; ++i) {
        char line[160];
        const double x = 1000.0 * (i % 3), y = 700.0 * (i * i % 5), z = 40.0 * i;
        std::snprintf(line, sizeof line, "%s,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f\r\n", names[i], x, y, z,
                      x + 10.001 * (i == 2), y - 5, z + 2);
        odd += line;
    }
    dir.Write("odd.txt", odd);
    const Outcome run = Cli(dir, {"adjust", "odd.txt", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::ordered_json k = ParsedJson(run.out);
    ASSERT_TRUE(k.is_object());
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(k.at("points").at(i).at("name"), names[i]);
}

// --check takes the names as the file writes them: a name in double quotes
// whole, commas and all, blanks around a name dropped.
TEST(KovarimCli, ChecksPointsNamedAsTheFileQuotesThem) {
    testkit::TempDir dir;
    std::string points = Example("common_points.txt");
    points.replace(points.find("GPS06,"), 6, "\"P,1\",");
    points.replace(points.find("GPS12,"), 6, "\"\","); // a point without a name
    dir.Write("gps.txt", points);
    const struct {
        const char *name;
        std::vector<std::string> check;
        std::vector<std::string> checked;
    } cases[] = {
        {"quoted, then plain", {"\"P,1\",GPS09"}, {"P,1", "GPS09"}},
        {"blanks around", {" \"P,1\" , GPS09 "}, {"P,1", "GPS09"}},
        {"in two options", {"GPS09", "\"P,1\""}, {"P,1", "GPS09"}},
        {"the empty name, quoted", {"GPS09,\"\""}, {"GPS09", ""}},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = {"adjust", "gps.txt", "--json"};
        for (const std::string &list : c.check)
            args.insert(args.end(), {"--check", list});
        const Outcome run = Cli(dir, args);
        ASSERT_EQ(run.status, 0) << c.name << ": " << run.err;
        const nlohmann::ordered_json j = ParsedJson(run.out);
        ASSERT_TRUE(j.is_object()) << c.name;
        std::vector<std::string> checked;
        for (const auto &p : j.at("points"))
            if (p.at("state") == "check")
                checked.push_back(p.at("name"));
        EXPECT_EQ(checked, c.checked) << c.name;
    }
    // A quote left open, or an empty name that is not quoted (a slip: it
    // would hold out nothing, or every point without a name), is a wrong
    // command line.
    for (const char *list : {"\"P,1,GPS09", "", ",", "\"P,1\",,GPS09", "GPS09,"}) {
        const Outcome wrong = Cli(dir, {"adjust", "gps.txt", "--check", list});
        EXPECT_EQ(wrong.status, 2) << list;
        EXPECT_NE(wrong.err.find("--check 中有空的点号或没有闭合的引号"), std::string::npos)
            << list << ": " << wrong.err;
    }
    const Outcome unquoted = Cli(dir, {"adjust", "gps.txt", "--check", "P,1"});
    EXPECT_EQ(unquoted.status, 1); // "P" and "1": no such points
    EXPECT_NE(unquoted.err.find("检核点 “P” 不在文件中"), std::string::npos) << unquoted.err;
}

// Failures say why on standard error and leave standard output empty.
TEST(KovarimCli, ExitsWithTwoForAWrongCommandLineAndOneForBadInput) {
    testkit::TempDir dir;
    dir.Write("p.txt", ParameterFileText(Params{}, "x", "A", "B", "C"));
    dir.Write("pts.txt", "P1,1,2,3\r\nP2,4,5\r\n");
    dir.Write("two.txt", "A,0,0,0,1,1,1\r\nB,5,5,5,6,6,6\r\n");
    dir.Write("bad.txt", "DX = one\n");
    dir.Write("huge.txt", "DX = 1e400\n");
    const struct {
        const char *name;
        std::vector<std::string> args;
        int status;
        const char *says;
    } cases[] = {
        {"no command", {}, 2, "缺少命令"},
        {"unknown command", {"frobnicate"}, 2, "未知的命令"},
        {"unknown option",
         {"point", "--params", "p.txt", "1", "2", "3", "--fast"},
         2,
         "未知的选项"},
        {"missing --params", {"point", "1", "2", "3"}, 2, "--params"},
        {"too many values", {"point", "--params", "p.txt", "1", "2", "3", "4"}, 2, "参数个数"},
        {"--inverse for estimate", {"estimate", "two.txt", "--inverse"}, 2, "--inverse"},
        {"--json for estimate", {"estimate", "two.txt", "--json"}, 2, "adjust"},
        {"--quiet for convert",
         {"convert", "--params", "p.txt", "pts.txt", "--quiet"},
         2,
         "--quiet 只用于 estimate 和 adjust"},
        {"--alpha out of range", {"adjust", "two.txt", "--alpha", "0.06"}, 2, "--alpha"},
        {"--alpha not a number", {"adjust", "two.txt", "--alpha=x"}, 2, "--alpha"},
        {"--check without names", {"adjust", "two.txt", "--check"}, 2, "--check"},
        {"--params twice",
         {"estimate", "two.txt", "--params", "a.txt", "--params=b.txt"},
         2,
         "--params 只能给一次"},
        {"--alpha twice", {"adjust", "two.txt", "--alpha=0.01", "--alpha", "0.001"}, 2, "--alpha"},
        {"adjust with two points", {"adjust", "two.txt"}, 1, "不足 4 个"},
        {"adjust a missing file", {"adjust", "gone.txt"}, 1, "无法打开"},
        {"a line of three fields", {"convert", "--params", "p.txt", "pts.txt", "-"}, 1, "第 2 行"},
        {"no usable triple",
         {"estimate", "two.txt"},
         1,
         "文件 two.txt\n需要至少三个以上的公共点才能进行七参数计算\n文件中只有 2 个公共点\n"},
        {"an empty parameter file name", {"point", "--params=", "1", "2", "3"}, 2, "文件名为空"},
        {"a folder for input", {"estimate", "."}, 1, "是文件夹，不是文件"},
        {"a parameter out of range",
         {"point", "--params", "huge.txt", "1", "2", "3"},
         1,
         "超出双精度数的范围"},
        {"missing input",
         {"estimate", "gone.txt"},
         1,
         "文件 gone.txt\n无法打开文件（找不到该文件或文件夹）\n"},
        {"bad parameter file", {"point", "--params", "bad.txt", "1", "2", "3"}, 1, "“one”"},
        {"missing parameter file", {"point", "--params", "none.txt", "1", "2", "3"}, 1, "无法打开"},
        {"overflow", {"point", "--params", "p.txt", "1e308", "1e308", "1e999"}, 1, "超出"},
        // What the window's boxes would read as 0 or cut short, a script must not pass.
        {"a value not a number",
         {"point", "--params", "p.txt", "1", "abc", "3"},
         1,
         "原坐标系 Y “abc” 不是数值"},
        {"a decimal comma",
         {"point", "--params", "p.txt", "2860321,78", "2", "3"},
         1,
         "X “2860321,78” 不是数值"},
        {"a unit after the value",
         {"point", "--params", "p.txt", "1", "2", "3m", "--inverse"},
         1,
         "新坐标系 Z “3m” 不是数值"},
        {"an empty value", {"point", "--params", "p.txt", "1", "2", ""}, 1, "原坐标系 Z 为空"},
        {"overflow, converting back",
         {"point", "--inverse", "--params", "p.txt", "1", "2", "1e999"},
         1,
         "新坐标系 Z 的数值超出"},
    };
    for (const auto &c : cases) {
        const Outcome run = Cli(dir, c.args);
        EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err;
        EXPECT_EQ(run.out, "") << c.name;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.name << ": " << run.err;
    }
    EXPECT_FALSE(testkit::Exists(dir.Path("two七参数精度评估.txt")));
    EXPECT_FALSE(testkit::Exists(dir.Path("two七参数平差报告.txt")));
}

TEST(KovarimCli, ReplacesAnOutputOnlyWithForce) {
    testkit::TempDir dir;
    dir.Write("p.txt", ParameterFileText(Params{}, "x", "A", "B", "C"));
    dir.Write("pts.txt", "P1,1,2,3\r\n");
    dir.Write("ptsto", "keep me");
    const Outcome refused = Cli(dir, {"convert", "--params", "p.txt", "pts.txt"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("--force"), std::string::npos) << refused.err;
    EXPECT_EQ(testkit::ReadBytes(dir.Path("ptsto")), "keep me");
    EXPECT_EQ(Cli(dir, {"convert", "--force", "--params", "p.txt", "pts.txt"}).status, 0);
    EXPECT_EQ(testkit::ReadBytes(dir.Path("ptsto")), "\"P1\",1,2,3,1,2,3\r\n");
}

// convert --force onto a disk that fills up: the old output stays whole and
// nothing of the new one is left, not even a last record cut in the middle of
// a number.
TEST(KovarimCli, ConvertOntoAFullDiskLeavesTheOldOutputWhole) {
#ifdef _WIN32
    GTEST_SKIP() << "no file size limit to be had on Windows";
#else
    testkit::TempDir dir;
    dir.Write("p.txt", ParameterFileText(Params{}, "x", "A", "B", "C"));
    std::string many;
    for (int i = 0; i < 5000; ++i)
        many += "P" + std::to_string(i) + ",2860321.78,592341.79,12.345\r\n";
    dir.Write("pts.txt", many);
    dir.Write("ptsto", "old output");
    Outcome run;
    {
        testkit::FileSizeLimit limit(100000);
        run = Cli(dir, {"convert", "--force", "--params", "p.txt", "pts.txt"});
    }
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("ptsto"), std::string::npos) << run.err;
    EXPECT_EQ(testkit::ReadBytes(dir.Path("ptsto")), "old output");
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"p.txt", "pts.txt", "ptsto"}));
#endif
}

// No command destroys its own input or output: what would is refused before
// anything is written, and every file stays as it was.
TEST(KovarimCli, NeverDestroysItsOwnInputOrOutput) {
    const std::string points = Example("common_points.txt");
    const struct {
        const char *name;
        std::vector<std::string> args;
        std::string stdinFrom;
        const char *says;
    } cases[] = {
        {"parameters over the input",
         {"estimate", "gps.txt", "--params", "gps.txt"},
         "",
         "参数文件就是公共点文件"},
        {"parameters over the input by another name",
         {"estimate", "gps.txt", "--params", "hard.txt"},
         "",
         "参数文件就是公共点文件"},
        {"parameters over the report",
         {"estimate", "gps.txt", "--params", "gps七参数精度评估.txt"},
         "",
         "参数文件就是报告文件"},
        {"adjusted parameters over the input",
         {"adjust", "gps.txt", "--params", "gps.txt"},
         "",
         "参数文件就是公共点文件"},
        {"adjusted parameters over the adjustment report",
         {"adjust", "gps.txt", "--params", "gps七参数平差报告.txt"},
         "",
         "参数文件就是报告文件"},
        {"parameters into a folder",
         {"estimate", "gps.txt", "--params", "folder"},
         "",
         "是文件夹，不是文件"},
        {"output over standard input",
         {"convert", "--params", "p.txt", "-", "out.txt", "--force"},
         "out.txt",
         "输出文件就是标准输入读取的文件"},
        {"output over the parameters",
         {"convert", "--params", "p.txt", "pts.txt", "p.txt", "--force"},
         "",
         "输出文件就是参数文件"},
    };
    for (const auto &c : cases) {
        testkit::TempDir dir;
        dir.Write("gps.txt", points);
        std::filesystem::create_hard_link(testkit::Fs(dir.Path("gps.txt")),
                                          testkit::Fs(dir.Path("hard.txt")));
        dir.Write("gps七参数精度评估.txt", "old report");
        dir.Write("gps七参数平差报告.txt", "old adjustment");
        std::filesystem::create_directory(testkit::Fs(dir.Path("folder")));
        dir.Write("p.txt", ParameterFileText(Params{}, "x", "A", "B", "C"));
        dir.Write("pts.txt", "P1,1,2,3\r\n");
        std::string many;
        for (int i = 0; i < 3000; ++i)
            many += "P" + std::to_string(i) + ",2860321.78,592341.79,0\r\n";
        dir.Write("out.txt", many);
        std::map<std::string, std::string> before;
        for (const std::string &name : dir.Names())
            if (name != "folder")
                before[name] = testkit::ReadBytes(dir.Path(name));

        const Outcome run = Cli(dir, c.args, "", {c.stdinFrom, "", false});
        EXPECT_EQ(run.status, 1) << c.name;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.name << ": " << run.err;
        for (const auto &[name, bytes] : before)
            EXPECT_EQ(testkit::ReadBytes(dir.Path(name)), bytes) << c.name << ": " << name;
        EXPECT_EQ(dir.Names().size(), before.size() + 1) << c.name << ": a file appeared";
    }
}

// A parameter file is refused under every name the system gives the input or
// the report, also before the report is there: Windows drops a trailing dot
// or blank and takes either case, so that "report.txt." would be written
// over the report. Elsewhere those are names of other files.
TEST(KovarimCli, KnowsTheInputAndTheReportByEveryNameTheSystemGivesThem) {
    const struct {
        const char *name;
        std::vector<std::string> args;
        bool refusedOnWindows, refusedElsewhere;
        const char *says;
    } cases[] = {
        {"the report with a trailing dot",
         {"estimate", "gps.txt", "--params", "gps七参数精度评估.txt."},
         true,
         false,
         "参数文件就是报告文件"},
        {"the report with trailing blanks and dots",
         {"estimate", "gps.txt", "--params", "gps七参数精度评估.txt . "},
         true,
         false,
         "参数文件就是报告文件"},
        {"the report in other letters' case",
         {"estimate", "gps.txt", "--params", "GPS七参数精度评估.TXT"},
         true,
         false,
         "参数文件就是报告文件"},
        {"the report through a folder",
         {"estimate", "gps.txt", "--params", "sub/../gps七参数精度评估.txt"},
         true,
         true,
         "参数文件就是报告文件"},
        {"the adjustment report with a trailing dot",
         {"adjust", "gps.txt", "--params", "gps七参数平差报告.txt."},
         true,
         false,
         "参数文件就是报告文件"},
        {"the input with a trailing blank",
         {"estimate", "gps.txt", "--params", "gps.txt "},
         true,
         false,
         "参数文件就是公共点文件"},
    };
    for (const auto &c : cases) {
        testkit::TempDir dir;
        dir.Write("gps.txt", Example("common_points.txt"));
        std::filesystem::create_directory(testkit::Fs(dir.Path("sub")));
        const Outcome run = Cli(dir, c.args);
#ifdef _WIN32
        const bool refused = c.refusedOnWindows;
#else
        const bool refused = c.refusedElsewhere;
#endif
        if (refused) {
            EXPECT_EQ(run.status, 1) << c.name << ": " << run.err;
            EXPECT_NE(run.err.find(c.says), std::string::npos) << c.name << ": " << run.err;
            EXPECT_EQ(dir.Names(), (std::vector<std::string>{"gps.txt", "sub"})) << c.name;
            EXPECT_EQ(testkit::ReadBytes(dir.Path("gps.txt")), Example("common_points.txt"));
        } else {
            EXPECT_EQ(run.status, 0) << c.name << ": " << run.err;
            EXPECT_EQ(dir.Names().size(), 4u) << c.name << ": the input, the report, the params";
        }
    }
}

// Windows takes CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9 for devices
// in every folder and with any extension: reading "aux.txt" or "COM1" would
// wait on a serial port. They are refused, naming the file, before anything
// is opened or written. Elsewhere they are files like any other.
TEST(KovarimCli, RefusesTheNamesWindowsKeepsForDevices) {
    const std::string points = Example("common_points.txt");
    const std::string params = ParameterFileText(Params{}, "x", "A", "B", "C");
    const struct {
        const char *name;
        std::vector<std::string> args;
        const char *device;
    } cases[] = {
        {"an input with an extension", {"estimate", "aux.txt"}, "aux.txt"},
        {"an input without", {"estimate", "COM1"}, "COM1"},
        {"an input in a folder", {"adjust", "sub/Lpt1.txt"}, "sub/Lpt1.txt"},
        {"a parameter file", {"estimate", "gps.txt", "--params", "nul"}, "nul"},
        {"adjusted parameters", {"adjust", "gps.txt", "--params", "Con.Txt"}, "Con.Txt"},
        {"a batch output", {"convert", "--params", "p.txt", "pts.txt", "COM3.out"}, "COM3.out"},
        {"a batch input", {"convert", "--params", "p.txt", "prn", "out.txt"}, "prn"},
        {"parameters to read", {"point", "--params", "com\u00B2", "1", "2", "3"}, "com\u00B2"},
    };
    for (const auto &c : cases) {
        testkit::TempDir dir;
        dir.Write("gps.txt", points);
        dir.Write("p.txt", params);
        dir.Write("pts.txt", "P1,1,2,3\r\n");
        std::filesystem::create_directory(testkit::Fs(dir.Path("sub")));
#ifdef _WIN32
        const std::vector<std::string> before = dir.Names();
        const Outcome run = Cli(dir, c.args);
        EXPECT_EQ(run.status, 1) << c.name << ": " << run.err;
        EXPECT_EQ(run.out, "") << c.name;
        EXPECT_EQ(run.err.rfind(std::string("文件 ") + c.device + "\n是 Windows 保留的设备名", 0),
                  0u)
            << c.name << ": " << run.err;
        EXPECT_EQ(dir.Names(), before) << c.name << ": a file appeared";
#else
        for (const char *input : {"aux.txt", "COM1", "sub/Lpt1.txt"})
            dir.Write(input, points);
        dir.Write("prn", "P1,1,2,3\r\n");
        dir.Write("com\u00B2", params);
        const Outcome run = Cli(dir, c.args);
        EXPECT_EQ(run.status, 0) << c.name << ": " << run.err;
        EXPECT_TRUE(testkit::Exists(dir.Path(c.device))) << c.name;
#endif
    }
}

// A target that is not a plain file: a link is followed and stays a link, a
// device or a pipe is written in place and stays what it is, a long name
// that the system takes for the report works.
TEST(KovarimCli, WritesThroughLinksAndIntoDevices) {
    testkit::TempDir dir;
    dir.Write("gps.txt", Example("common_points.txt"));
#ifndef _WIN32 // symbolic links are for administrators on Windows
    dir.Write("real.txt", "old");
    std::filesystem::create_symlink("real.txt", dir.Path("link.txt"));
    ASSERT_EQ(Cli(dir, {"estimate", "gps.txt", "--params", "link.txt"}).status, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.Path("link.txt")));
    EXPECT_NE(testkit::ReadBytes(dir.Path("real.txt")).find("DX = "), std::string::npos);
#endif

    // A pipe, with this process reading it: written into, never renamed over.
    testkit::NamedPipe pipe(dir);
    const Outcome toPipe = Cli(dir, {"estimate", "gps.txt", "--params", pipe.path()});
    EXPECT_EQ(toPipe.status, 0) << toPipe.err;
    EXPECT_NE(pipe.Received().find("DX = "), std::string::npos);
#ifndef _WIN32
    EXPECT_TRUE(std::filesystem::is_fifo(pipe.path()));
#endif
    const Outcome toDevice = Cli(dir, {"estimate", "gps.txt", "--params", testkit::kNullDevice});
    EXPECT_EQ(toDevice.status, 0) << toDevice.err;
    for (const std::string &name : dir.Names())
        EXPECT_NE(name.rfind(".kovarim-", 0), 0u) << "a temporary file was left: " << name;

    // The longest input name whose report name (25 bytes instead of 4) fits.
    const std::string stem(255 - std::string("七参数精度评估.txt").size(), 'a');
    dir.Write(stem + ".txt", Example("common_points.txt"));
    const Outcome longName = Cli(dir, {"estimate", stem + ".txt"});
    EXPECT_EQ(longName.status, 0) << longName.err;
    EXPECT_TRUE(testkit::Exists(dir.Path(stem + "七参数精度评估.txt")));
}

// A result that does not reach standard output is a failure, not a success.
TEST(KovarimCli, FailsWhenStandardOutputCannotBeWritten) {
    testkit::TempDir dir;
    dir.Write("p.txt", ParameterFileText(Params{}, "x", "A", "B", "C"));
    dir.Write("pts.txt", "P1,1,2,3\r\n");
    const std::vector<std::string> point = {"point", "--params", "p.txt", "1", "2", "3"};
    // The spool of converted lines must not take standard output's number.
    const std::vector<std::string> convert = {"convert", "--params", "p.txt", "pts.txt", "-"};
    const struct {
        const char *name;
        Streams to;
    } cases[] = {
        {"closed", {"", "", true, false}},
#ifdef _WIN32 // a pipe whose reader is gone (elsewhere its signal would end the program)
        {"a pipe no one reads", {"", "", false, true}},
#else
        {"a full device", {"", "/dev/full", false, false}},
#endif
    };
    for (const auto &c : cases)
        for (const auto &command : {point, convert}) {
            const Outcome run = Cli(dir, command, "", c.to);
            EXPECT_EQ(run.status, 1) << c.name << ", " << command[0];
            EXPECT_NE(run.err.find("写入标准输出失败"), std::string::npos)
                << c.name << ", " << command[0] << ": " << run.err;
        }
    // Nor is an estimation or an adjustment whose results cannot be said: its
    // report and parameter file stay as they were (and the files it opens
    // never take standard output's number).
    dir.Write("gps.txt", Example("common_points.txt"));
    const std::vector<std::string> estimate = {"estimate", "gps.txt", "--params", "q.txt"};
    const std::vector<std::string> adjust = {"adjust", "gps.txt", "--params", "q.txt", "--json"};
    for (const auto &c : cases)
        for (const auto &command : {estimate, adjust}) {
            const std::string report =
                command[0] == "estimate" ? "gps七参数精度评估.txt" : "gps七参数平差报告.txt";
            dir.Write(report, "old report");
            dir.Write("q.txt", "old parameters");
            const Outcome run = Cli(dir, command, "", c.to);
            EXPECT_EQ(run.status, 1) << c.name << ", " << command[0];
            EXPECT_EQ(testkit::ReadBytes(dir.Path(report)), "old report") << c.name;
            EXPECT_EQ(testkit::ReadBytes(dir.Path("q.txt")), "old parameters") << c.name;
        }
#ifndef _WIN32
    // A parameter file on a device that fails: the report stays as it was.
    const Outcome full = Cli(dir, {"estimate", "gps.txt", "--params", "/dev/full"});
    EXPECT_EQ(full.status, 1) << full.err;
    EXPECT_EQ(testkit::ReadBytes(dir.Path("gps七参数精度评估.txt")), "old report");
#endif
}

// A parameter file that can be written but not replaced (another user's, in
// a folder with the sticky bit; on Windows, held open by an editor that
// shares no deletion): the report is not replaced either, whether there was
// one or not, and the message says that nothing changed.
TEST(KovarimCli, PutsTheReportAndTheParameterFileInPlaceTogetherOrNeither) {
#ifndef _WIN32
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root, to make a file of another user's";
#endif
    for (const char *command : {"estimate", "adjust"})
        for (const bool hadReport : {true, false}) {
            const std::string name = std::string(command) + (hadReport ? ", old report" : "");
            testkit::TempDir dir;
            dir.Write("gps.txt", Example("common_points.txt"));
            const std::string report = command == std::string("estimate") ? "gps七参数精度评估.txt"
                                                                          : "gps七参数平差报告.txt";
            const std::string params = dir.Write("p.txt", "old parameters");
            const std::vector<std::string> args = {command, "gps.txt", "--params", "p.txt"};
#ifdef _WIN32
            if (hadReport)
                dir.Write(report, "old report");
            const HANDLE editor = CreateFileW(Wide(params).c_str(), GENERIC_READ | GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(editor, INVALID_HANDLE_VALUE);
            const Outcome run = Cli(dir, args);
            CloseHandle(editor);
            const std::string said = std::to_string(run.status) + " " + run.err;
#else
            namespace fs = std::filesystem;
            fs::permissions(dir.Path(""), fs::perms::all | fs::perms::sticky_bit);
            fs::permissions(params, fs::perms::owner_read | fs::perms::owner_write |
                                        fs::perms::group_read | fs::perms::group_write |
                                        fs::perms::others_read | fs::perms::others_write);
            const std::string said = testkit::AsNobody([&] {
                if (hadReport)
                    dir.Write(report, "old report");
                const Outcome run = Cli(dir, args);
                return std::to_string(run.status) + " " + run.err;
            });
#endif
            EXPECT_EQ(said.substr(0, 2), "1 ") << name << ": " << said;
            EXPECT_NE(said.find("p.txt"), std::string::npos) << name << ": " << said;
            EXPECT_NE(said.find("没有改变任何文件，原有文件都保持原样"), std::string::npos)
                << name << ": " << said;
            EXPECT_EQ(testkit::ReadBytes(params), "old parameters") << name;
            std::vector<std::string> expected = {"gps.txt", "p.txt"};
            if (hadReport) {
                EXPECT_EQ(testkit::ReadBytes(dir.Path(report)), "old report") << name;
                expected.insert(expected.begin() + 1, report);
            }
            EXPECT_EQ(dir.Names(), expected) << name << ": a file appeared or went";
        }
}

// One decimal slip in one line: the report shows it, and the triple leaves it out.
TEST(KovarimCli, ReportsASlippedDecimalPointInsteadOfRefusingTheFile) {
    testkit::TempDir dir;
    std::string points = ToUtf8(Example("common_points.txt"), Encoding::Gbk);
    const std::string good = "石桥,2861220.562", slipped = "石桥,28612205.62";
    points.replace(points.find(good), good.size(), slipped);
    dir.Write("gps.txt", points);
    const Outcome run = Cli(dir, {"estimate", "gps.txt"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string report =
        ToUtf8(testkit::ReadBytes(dir.Path("gps七参数精度评估.txt")), Encoding::Gbk);
    const std::string firstLine = report.substr(0, report.find("\r\n"));
    EXPECT_EQ(firstLine.find("石桥"), std::string::npos) << firstLine;
    EXPECT_NE(report.find("\r\n石桥                25751099.69584 \r\n"), std::string::npos)
        << report;
}

TEST(KovarimCli, SaysItsVersionAndHelpsInBothLanguages) {
    testkit::TempDir dir;
    EXPECT_EQ(Cli(dir, {"--version"}).out, "Kovarim 1.00\n");
    const Outcome help = Cli(dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage"), std::string::npos);
    EXPECT_NE(help.out.find("用法"), std::string::npos);
}

// The parameter file's PROJ string through PROJ's cct reproduces this
// model's transformed coordinates to better than a micrometre.
TEST(KovarimCli, ProjStringAgreesWithCctToAMicrometre) {
    if (!HaveCct())
        GTEST_SKIP() << "cct (Debian package proj-bin) is not installed";
    testkit::TempDir dir;
    dir.Write("gps.txt", Example("common_points.txt"));
    ASSERT_EQ(Cli(dir, {"estimate", "gps.txt", "--params", "p.txt"}).status, 0);
    const Params params = ReadParameterFile(dir.Path("p.txt"));
    std::string points;
    std::vector<Point3> ours;
    for (int i = 0; i < 50; ++i) {
        const double X = 2858000 + i * 123.457, Y = 589000 + i * 98.765, Z = 20 + i * 3.21;
        char line[100];
        std::snprintf(line, sizeof line, "%.17g %.17g %.17g 0\n", X, Y, Z);
        points += line;
        ours.push_back(TransformPoint(params, X, Y, Z));
    }
    dir.Write("points", points);
    const std::string proj = ProjString(params);
    const std::string command =
        "cd '" + dir.Path("") + "' && cct -d 10 " + proj + " points > cct.out 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::istringstream cct(testkit::ReadBytes(dir.Path("cct.out")));
    for (const Point3 &p : ours) {
        double x = 0, y = 0, z = 0, t = 0;
        ASSERT_TRUE(cct >> x >> y >> z >> t);
        EXPECT_NEAR(x, p.X, 1e-6);
        EXPECT_NEAR(y, p.Y, 1e-6);
        EXPECT_NEAR(z, p.Z, 1e-6);
    }
}

// The surveyors' road: WGS84 B L H to a Beijing 1954 grid, parameters
// estimated from the road's common points; the check points converted to
// the grid values PROJ gives them (tests/cli/expected/road_truth.txt), back
// again with --inverse, and the parameter file's proj line through cct to
// the same coordinates within 0.1 mm.
TEST(KovarimCliSystems, EstimatesAndConvertsTheRoadToTheTruth) {
    testkit::TempDir dir;
    dir.Write("road.txt", Example("road_common_points.txt"));
    dir.Write("checks.txt", Example("road_points.txt"));
    const Outcome estimate = Cli(dir, {"estimate", "road.txt", "--from", "blh:wgs84",
                                       "--to=gk:bj54:114,zone=38", "--params", "p.txt"});
    ASSERT_EQ(estimate.status, 0) << estimate.err;
    EXPECT_NE(estimate.out.find("坐标系 systems: blh:wgs84 -> gk:bj54:114,zone=38\n"),
              std::string::npos)
        << estimate.out;
    const ParameterFile file = ReadParameters(dir.Path("p.txt"));
    EXPECT_EQ(CoordinateSystemText(file.systems.from), "blh:wgs84");
    EXPECT_EQ(CoordinateSystemText(file.systems.to), "gk:bj54:114,zone=38");

    const Outcome convert = Cli(dir, {"convert", "--params", "p.txt", "checks.txt", "-"});
    ASSERT_EQ(convert.status, 0) << convert.err;
    std::map<std::string, std::array<double, 3>> truth;
    std::istringstream truthText(
        testkit::ReadBytes(KOVARIM_SOURCE_DIR "/tests/cli/expected/road_truth.txt"));
    for (std::string name; truthText >> name;)
        truthText >> truth[name][0] >> truth[name][1] >> truth[name][2];
    std::istringstream lines(convert.out);
    int checked = 0;
    for (std::string line; std::getline(lines, line); ++checked) {
        std::vector<std::string> f;
        std::istringstream fields(line.substr(0, line.size() - 1));
        for (std::string field; std::getline(fields, field, ',');)
            f.push_back(field);
        ASSERT_EQ(f.size(), 7u) << line;
        const std::string name = f[0].substr(1, f[0].size() - 2);
        for (int k = 0; k < 3; ++k) // 3 decimals, within 1 mm of PROJ's values
            EXPECT_NEAR(std::stod(f[4 + k]), truth.at(name)[k], 0.001) << line;
        // The same point alone, and back to its B L H.
        const Outcome point = Cli(dir, {"point", "--params", "p.txt", f[1], f[2], f[3]});
        EXPECT_EQ(point.out, f[4] + " " + f[5] + " " + f[6] + "\n") << point.err;
        const Outcome back =
            Cli(dir, {"point", "--inverse", "--params", "p.txt", f[4], f[5], f[6]});
        std::istringstream blh(back.out);
        double b = 0, l = 0, h = 0;
        ASSERT_TRUE(blh >> b >> l >> h) << back.err;
        EXPECT_NEAR(b, std::stod(f[1]), 2e-8) << back.out; // the grid's 0.5 mm rounding
        EXPECT_NEAR(l, std::stod(f[2]), 2e-8) << back.out;
        EXPECT_NEAR(h, std::stod(f[3]), 0.0011) << back.out;
    }
    EXPECT_EQ(checked, 6);
}

TEST(KovarimCliSystems, GivesTheRoadsCoordinatesThroughCctWithinATenthOfAMillimetre) {
    if (!HaveCct())
        GTEST_SKIP() << "cct (Debian package proj-bin) is not installed";
    testkit::TempDir dir;
    dir.Write("road.txt", Example("road_common_points.txt"));
    ASSERT_EQ(Cli(dir, {"estimate", "road.txt", "--from", "blh:wgs84", "--to",
                        "gk:bj54:114,zone=38", "--params", "p.txt"})
                  .status,
              0);
    const ParameterFile file = ReadParameters(dir.Path("p.txt"));
    const std::string text = testkit::ReadBytes(dir.Path("p.txt"));
    const std::string proj = text.substr(text.find("proj = ") + 7);
    std::string columns;
    std::vector<Values> ours;
    const SystemConversion conversion(file.systems, file.params, Direction::Forward);
    for (int i = 0; i < 40; ++i) {
        const Values blh = {30.42 + i * 0.005, 113.95 + i * 0.0075, 20.0 + i * 1.7};
        char line[100];
        std::snprintf(line, sizeof line, "%.12f %.12f %.6f 0\n", blh[0], blh[1], blh[2]);
        columns += line;
        ours.push_back(conversion.Convert(blh));
    }
    dir.Write("columns", columns);
    const std::string command = "cd '" + dir.Path("") + "' && cct -d 6 " +
                                proj.substr(0, proj.find('\n')) + " columns > cct.out 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::istringstream cct(testkit::ReadBytes(dir.Path("cct.out")));
    double worst = 0;
    for (const Values &v : ours) {
        double x = 0, y = 0, h = 0, t = 0;
        ASSERT_TRUE(cct >> x >> y >> h >> t);
        worst = std::max({worst, std::fabs(x - v[0]), std::fabs(y - v[1]), std::fabs(h - v[2])});
    }
    EXPECT_LT(worst, 1e-4) << "cct differs by " << worst << " m";
}

// Without parameters, on one ellipsoid: B L H to a zoned grid and back, a
// zone change, X Y Z; the forms of the output; --inverse the other way.
// The numbers are cct's and CartConvert's, rounded as written.
TEST(KovarimCliSystems, ConvertsBetweenSystemsOnOneEllipsoid) {
    testkit::TempDir dir;
    const struct {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"point", "--from", "blh:cgcs2000", "--to", "gk:cgcs2000:117,zone=39", "30.5", "117.5",
          "10"},
         "3375648.033 39547999.761 10\n"},
        {{"point", "--from", "gk:cgcs2000:117,zone=39", "--to", "blh:cgcs2000", "3375648.033",
          "39547999.761", "10"},
         "30.500000004 117.499999997 10\n"},
        {{"point", "--inverse", "--from", "blh:cgcs2000", "--to", "gk:cgcs2000:117,zone=39",
          "3375648.033", "39547999.761", "10"},
         "30.500000004 117.499999997 10\n"},
        {{"point", "--from", "blh:cgcs2000", "--to", "blh:cgcs2000,dms", "30.5", "117.50833333333",
          "10"},
         "30.3 117.303 10\n"},
        {{"point", "--from", "blh:bj54", "--to", "xyz", "30", "120", "0"},
         "-2764174.793 4787691.182 3170430.097\n"},
        {{"point", "--from", "gk:xian80:117,zone=39", "--to", "gk:xian80:120,zone=40",
          "3378817.055", "39735948.944", "12.5"},
         "3376372.363 40447935.034 12.5\n"},
    };
    for (const auto &c : cases) {
        const Outcome run = Cli(dir, c.args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, c.out) << c.args[2] << " -> " << c.args[4];
    }
    // The zone change through convert, a file, and back.
    dir.Write("zone39.txt", "A,3378817.055,39735948.944,12.5\r\nB,3100000,39400000,0\r\n");
    ASSERT_EQ(Cli(dir, {"convert", "--from", "gk:xian80:117,zone=39", "--to",
                        "gk:xian80:120,zone=40", "zone39.txt", "zone40.txt"})
                  .status,
              0);
    const std::string there = testkit::ReadBytes(dir.Path("zone40.txt"));
    EXPECT_EQ(there.rfind("\"A\",3378817.055,39735948.944,12.5,", 0), 0u) << there;
    std::string back;
    std::istringstream lines(there);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> f;
        std::istringstream fields(line.substr(0, line.size() - 1));
        for (std::string field; std::getline(fields, field, ',');)
            f.push_back(field);
        EXPECT_EQ(f[5].substr(0, 2), "40") << line;
        back += f[0].substr(1, 1) + "," + f[4] + "," + f[5] + "," + f[6] + "\r\n";
    }
    dir.Write("zone40only.txt", back);
    const Outcome again = Cli(dir, {"convert", "--inverse", "--from", "gk:xian80:117,zone=39",
                                    "--to", "gk:xian80:120,zone=40", "zone40only.txt", "-"});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.out.find(",3378817.055,39735948.944,12.5\r\n"), std::string::npos) << again.out;
    EXPECT_NE(again.out.find(",3100000,39400000,0\r\n"), std::string::npos) << again.out;
}

// What bad input gets: its line and field, the argument named and the forms
// listed for a system that cannot be read (exit 2), both ellipsoids named
// where parameters are missing; nothing written whenever anything is refused.
TEST(KovarimCliSystems, RefusesBadInputWithItsPlaceAndWritesNothing) {
    const std::string good = "A,30.45,113.96,75,3370112.7734,38496072.8566,166.3929\r\n";
    const struct {
        const char *name;
        std::vector<std::string> args;
        int status;
        std::vector<std::string> says;
    } cases[] = {
        {"a system that cannot be read",
         {"convert", "--from", "blh:wgs85", "--to", "xyz", "pts.txt", "out.txt"},
         2,
         {"--from：无法识别坐标系 “blh:wgs85”", "可用的写法：xyz", "用法 Usage"}},
        {"a grid without its meridian",
         {"estimate", "road.txt", "--from", "blh:wgs84", "--to", "gk:bj54"},
         2,
         {"--to：无法识别坐标系 “gk:bj54”", "中央子午线"}},
        {"an inverse flattening below 1",
         {"point", "--from", "blh:6378137/0.5", "--to", "xyz", "1", "2", "3"},
         2,
         {"--from：无法识别坐标系"}},
        {"a system given twice",
         {"convert", "--from", "xyz", "--from", "blh:wgs84", "pts.txt"},
         2,
         {"--from 只能给一次"}},
        {"two ellipsoids without parameters",
         {"point", "--from", "blh:wgs84", "--to", "gk:cgcs2000:117", "30", "117", "0"},
         2,
         {"wgs84（6378137/298.257223563）", "cgcs2000（6378137/298.257222101）",
          "没有七参数不能换算", "--params"}},
        {"neither parameters nor systems",
         {"convert", "pts.txt", "out.txt"},
         2,
         {"--from 和 --to"}},
        {"systems other than the parameter file's",
         {"convert", "--params", "p.txt", "--from", "blh:cgcs2000", "pts.txt", "out.txt"},
         1,
         {"参数文件的原坐标系（from）是 blh:wgs84，而 --from 是 blh:cgcs2000"}},
        {"a parameter file whose system cannot be read",
         {"convert", "--params", "bad.txt", "pts.txt", "out.txt"},
         1,
         {"bad.txt", "第 2 行", "键 “to”：无法识别坐标系"}},
        {"B beyond 90 in a file to convert",
         {"convert", "--params", "p.txt", "far.txt", "out.txt"},
         1,
         {"far.txt", "第 2 行，第 2 个字段", "第 2 条记录：B = 90.01 超出 −90° 至 90°",
          "没有写入任何记录，也没有创建输出文件"}},
        {"a zone that is not zone=38 in a common point",
         {"estimate", "zone.txt", "--from", "blh:wgs84", "--to", "gk:bj54:114,zone=38"},
         1,
         {"zone.txt", "第 2 行，第 6 个字段",
          "新坐标系 y = 39496072.8566 的带号为 39，与 zone=38 不符"}},
        {"a grid point beyond 9°",
         {"adjust", "nine.txt", "--from", "blh:wgs84", "--to", "gk:bj54:114"},
         1,
         {"第 1 行，第 6 个字段", "离中央子午线超过 9°"}},
        {"a point's B that is no number",
         {"point", "--params", "p.txt", "30,5", "114", "0"},
         1,
         {"原坐标系 B “30,5” 不是数值"}},
        {"minutes of 60",
         {"point", "--from", "blh:wgs84,dms", "--to", "xyz", "30.6000", "114", "0"},
         1,
         {"原坐标系 B “30.6000” 的分为 60"}},
        {"a point the grid cannot write",
         {"point", "--from", "blh:bj54", "--to", "gk:bj54:114,zone=38", "30", "124", "0"},
         1,
         {"超过 9°"}},
    };
    for (const auto &c : cases) {
        testkit::TempDir dir;
        dir.Write("road.txt", Example("road_common_points.txt"));
        ASSERT_EQ(Cli(dir, {"estimate", "road.txt", "--from", "blh:wgs84", "--to",
                            "gk:bj54:114,zone=38", "--params", "p.txt"})
                      .status,
                  0);
        dir.Write("pts.txt", "P1,30.45,113.96,75\r\n");
        dir.Write("far.txt", "P1,30.45,113.96,75\r\nP2,90.01,113.96,75\r\n");
        dir.Write("bad.txt", "from = blh:wgs84\nto = gk:bj54:114,zone=\nDX = 0\nDY = 0\nDZ = 0\n"
                             "Scale = 0\nRotX = 0\nRotY = 0\nRotZ = 0\n");
        dir.Write("zone.txt", good + "B,30.45,113.96,75,3370112.7734,39496072.8566,166.3929\r\n");
        dir.Write("nine.txt", "A,30.45,113.96,75,3370112.7734,-900000,166.3929\r\n");
        const std::vector<std::string> before = dir.Names();
        const Outcome run = Cli(dir, c.args);
        EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err;
        EXPECT_EQ(run.out, "") << c.name;
        for (const std::string &part : c.says)
            EXPECT_NE(run.err.find(part), std::string::npos) << c.name << ": " << run.err;
        EXPECT_EQ(dir.Names(), before) << c.name; // nothing written, nothing left
    }
}

// adjust in systems: the summary and --json name the systems and the
// residuals' axes, the parameter file keeps them; xyz keeps its bytes.
TEST(KovarimCliSystems, AdjustsInSystemsAndSaysSo) {
    testkit::TempDir dir;
    dir.Write("road.txt", Example("road_common_points.txt"));
    const Outcome run = Cli(dir, {"adjust", "road.txt", "--from", "blh:wgs84", "--to",
                                  "gk:bj54:114,zone=38", "--json", "--params", "q.txt"});
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::ordered_json j = ParsedJson(run.out);
    EXPECT_EQ(j.at("from"), "blh:wgs84");
    EXPECT_EQ(j.at("to"), "gk:bj54:114,zone=38");
    EXPECT_EQ(j.at("residual_names"), nlohmann::ordered_json::array({"x", "y", "h"}));
    for (const auto &p : j.at("points"))
        for (const auto &v : p.at("residual"))
            EXPECT_LT(std::fabs(v.get<double>()), 0.001) << p.dump();
    EXPECT_EQ(ReadParameters(dir.Path("q.txt")).systems,
              (PointSystems{ParseCoordinateSystem("blh:wgs84"),
                            ParseCoordinateSystem("gk:bj54:114,zone=38")}));
    const Outcome summary =
        Cli(dir, {"adjust", "road.txt", "--from", "blh:wgs84", "--to", "gk:bj54:114,zone=38"});
    EXPECT_NE(summary.out.find("坐标系 systems: blh:wgs84 -> gk:bj54:114,zone=38\n"),
              std::string::npos)
        << summary.out;
    dir.Write("gps.txt", Example("common_points.txt"));
    const Outcome xyz = Cli(dir, {"adjust", "gps.txt", "--json", "--from", "xyz", "--to", "xyz"});
    ASSERT_EQ(xyz.status, 0) << xyz.err;
    EXPECT_EQ(xyz.out.find("\"from\""), std::string::npos);
    EXPECT_EQ(xyz.out, Cli(dir, {"adjust", "gps.txt", "--json"}).out);
}

} // namespace
} // namespace kovarim

namespace kovarim {
namespace {

// xyz spelled out on both sides is today's road: every command's output and
// every file it writes keep their bytes.
TEST(KovarimCliSystems, XyzOnBothSidesKeepsEveryByte) {
    const std::vector<std::string> xyz = {"--from", "xyz", "--to=xyz"};
    const std::vector<std::vector<std::string>> commands = {
        {"estimate", "gps.txt", "--params", "p.txt"},
        {"adjust", "gps.txt", "--params", "q.txt"},
        {"convert", "--params", "p.txt", "pts.txt", "out.txt"},
        {"convert", "--inverse", "--params", "p.txt", "pts.txt", "-"},
        {"point", "--params", "p.txt", "-2267749.693", "5009154.315", "3221290.716"},
        {"point", "--inverse", "--params", "p.txt", "1", "2", "3"},
    };
    testkit::TempDir plain, spelled;
    for (testkit::TempDir *dir : {&plain, &spelled}) {
        dir->Write("gps.txt", Example("common_points.txt"));
        dir->Write("pts.txt", Example("batch_points.txt"));
    }
    for (const auto &command : commands) {
        std::vector<std::string> withSystems = command;
        withSystems.insert(withSystems.begin() + 1, xyz.begin(), xyz.end());
        const Outcome a = Cli(plain, command), b = Cli(spelled, withSystems);
        EXPECT_EQ(a.status, 0) << command[0] << ": " << a.err;
        EXPECT_EQ(b.status, a.status) << command[0] << ": " << b.err;
        EXPECT_EQ(b.out, a.out) << command[0];
        EXPECT_EQ(b.err, a.err) << command[0];
    }
    ASSERT_EQ(spelled.Names(), plain.Names());
    for (const std::string &name : plain.Names())
        EXPECT_EQ(testkit::ReadBytes(spelled.Path(name)), testkit::ReadBytes(plain.Path(name)))
            << name;
}

// ---- calibrate ----

constexpr double kArcSecond = 3.14159265358979323846 / 648000.0;

// The core's calibration of a file in a folder of its own: the report it
// puts in place and the calibration, to hold the command's against.
struct CoreCalibration {
    SiteCalibration calibration;
    std::string report;
};

CoreCalibration CalibrateInCore(const std::string &content, const CalibrationSource &source,
                                CalibrationOptions options) {
    testkit::TempDir core;
    const std::string path = core.Write("site.txt", content);
    const CommonPointTable table = ReadCalibrationPointFile(path, source);
    options.systems = {source.FromText(), source.ViaText(), kLocalPlane};
    CoreCalibration result{Calibrate(table, options, path), ""};
    PrepareCalibrationReport(path, table, result.calibration)->Commit();
    result.report = testkit::ReadBytes(core.Path("site四参数报告.txt"));
    return result;
}

// EPSG's similarity transformation example (method 9621; transformation
// 5166, ED50 to ETRS89 in Catalonia), the ICGC's four test points with E
// (EPSG's X) in the second column: x north, y east.
std::string EpsgPoints() {
    return "ICGC1,4500000.000,300000.000,0,4499796.515,299905.060,0\r\n"
           "ICGC2,4740000.000,315000.000,0,4739796.774,314906.904,0\r\n"
           "ICGC3,4680000.000,520000.000,0,4679795.125,519906.767,0\r\n"
           "ICGC4,4600000.000,420000.000,0,4599795.760,419906.005,0\r\n";
}

// From a plane to a plane: the least-squares solution of the four points
// (in exact rational arithmetic), within its σ of the published parameters
// (XT0 −129.549 m east, YT0 −208.185 m north, M 1.0000015504, θ 1.56504″);
// the report and the parameter file those of the core, --json with its keys.
TEST(KovarimCliCalibrate, ReproducesTheEpsgSimilarityExample) {
    testkit::TempDir dir;
    dir.Write("icgc.txt", EpsgPoints());
    const Outcome run = Cli(dir, {"calibrate", "icgc.txt", "--from", "plane", "--to", "plane",
                                  "--height", "none", "--params", "p.txt", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const nlohmann::ordered_json j = ParsedJson(run.out);
    ASSERT_TRUE(j.is_object());
    std::vector<std::string> keys, pointKeys;
    for (const auto &[key, value] : j.items())
        keys.push_back(key);
    for (const auto &[key, value] : j.at("points").at(0).items())
        pointKeys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"file", "report", "from", "via", "to", "params",
                                              "sigma", "sigma0", "redundancy", "centroid",
                                              "correlation", "height", "points", "check_rms"}));
    EXPECT_EQ(pointKeys, (std::vector<std::string>{"name", "state", "residual", "test", "critical",
                                                   "passed"}));
    EXPECT_EQ(j.at("from"), "plane");
    EXPECT_TRUE(j.at("via").is_null());
    EXPECT_EQ(j.at("to"), "plane");
    EXPECT_TRUE(j.at("height").is_null());
    EXPECT_TRUE(j.at("check_rms").is_null());
    EXPECT_EQ(j.at("redundancy"), 4);
    const auto &params = j.at("params"), &sigma = j.at("sigma");
    EXPECT_NEAR(params.at("dx").get<double>(), -208.19399745771, 1e-7);
    EXPECT_NEAR(params.at("dy").get<double>(), -129.548777158502, 1e-7);
    EXPECT_NEAR(params.at("scale_ppm").get<double>(), 1.5523119556437592, 1e-7);
    EXPECT_NEAR(params.at("rotation_arcsec").get<double>(), 1.5649962408029472, 1e-7);
    EXPECT_NEAR(params.at("dx").get<double>(), -208.185, 3 * sigma.at("dx").get<double>());
    EXPECT_NEAR(params.at("dy").get<double>(), -129.549, 3 * sigma.at("dy").get<double>());
    EXPECT_NEAR(params.at("scale_ppm").get<double>(), 1.5504,
                3 * sigma.at("scale_ppm").get<double>());
    EXPECT_NEAR(params.at("rotation_arcsec").get<double>(), 1.56504,
                3 * sigma.at("rotation_arcsec").get<double>());
    for (const auto &p : j.at("points")) {
        EXPECT_EQ(p.at("state"), "used");
        EXPECT_LT(
            std::hypot(p.at("residual").at(0).get<double>(), p.at("residual").at(1).get<double>()),
            0.001);
        EXPECT_TRUE(p.at("test").at(1).is_null());
    }

    CalibrationOptions options;
    options.height = HeightModel::None;
    const CoreCalibration core = CalibrateInCore(EpsgPoints(), CalibrationSource::Plane(), options);
    EXPECT_EQ(testkit::ReadBytes(dir.Path("icgc四参数报告.txt")), core.report);
    const CalibrationFile file = ReadCalibrationFile(dir.Path("p.txt"));
    EXPECT_EQ(file.source, CalibrationSource::Plane());
    const PlaneParams &a = file.params.plane, &b = core.calibration.plane.params;
    EXPECT_TRUE(a.dx == b.dx && a.dy == b.dy && a.scale == b.scale && a.rotation == b.rotation);
    EXPECT_EQ(file.params.height.model, HeightModel::None);
    EXPECT_EQ(params.at("dx").get<double>(), b.dx);
    EXPECT_EQ(j.at("sigma0").get<double>(), *core.calibration.plane.fit.sigma0);
}

// The site example's truth (examples/make_site.py): WGS84 B, L projected on
// the CGCS2000 ellipsoid, four parameters, a quadratic height surface, noise
// of 4 mm in plan and 8 mm in height, and 水塔's height 0.15 m off.
struct SiteTruth {
    double dx, dy, scale, rotation;
};
SiteTruth TheSiteTruth() {
    const double m = 1 + 18.6e-6, alpha = -1234.5 * kArcSecond;
    const double a = m * std::cos(alpha), b = m * std::sin(alpha);
    return {41250 - (a * 3381000 - b * 529000), 62800 - (b * 3381000 + a * 529000), 18.6e-6, alpha};
}

const std::vector<std::string> kSiteArgs = {"calibrate", "site.txt",        "--from", "blh:wgs84",
                                            "--via",     "gk:cgcs2000:114", "--to",   "plane"};

std::vector<std::string> SiteArgs(std::vector<std::string> more) {
    std::vector<std::string> args = kSiteArgs;
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// The site's projection and whatever follows, without the command and file.
std::vector<std::string> SiteArgsOnly(std::vector<std::string> more) {
    std::vector<std::string> args = {"--from", "blh:wgs84", "--via", "gk:cgcs2000:114"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

std::string FirstLines(const std::string &text, int count) {
    std::size_t end = 0;
    for (int i = 0; i < count; ++i)
        end = text.find('\n', end) + 1;
    return text.substr(0, end);
}

// The site's check points (examples/site_points.txt) and their truth.
std::vector<std::pair<std::string, Values>> SiteTruthPoints() {
    std::vector<std::pair<std::string, Values>> points;
    std::istringstream truth(
        testkit::ReadBytes(KOVARIM_SOURCE_DIR "/tests/cli/expected/site_truth.txt"));
    std::string name;
    Values v;
    while (truth >> name >> v[0] >> v[1] >> v[2])
        points.emplace_back(name, v);
    return points;
}

std::vector<Values> SiteCheckPointValues(const CalibrationSource &source) {
    std::vector<Values> values;
    std::istringstream lines(Example("site_points.txt"));
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream split(line.substr(0, line.find('\r')));
        for (std::string f; std::getline(split, f, ',');)
            fields.push_back(f);
        Values v;
        for (int k = 0; k < 3; ++k)
            v[k] = source.Read(k, fields[k + 1]);
        values.push_back(v);
    }
    return values;
}

// A calibration of known truth through the command: the four parameters
// within 3σ of the truth, σ0 of about the noise, 水塔 found in the height
// alone, the check points converted by the parameter file within a few
// times the noise of the truth, and the report the core's.
TEST(KovarimCliCalibrate, FitsTheSitesKnownTruthBack) {
    testkit::TempDir dir;
    dir.Write("site.txt", Example("site_common_points.txt"));
    const Outcome run = Cli(dir, SiteArgs({"--params", "p.txt", "--json"}));
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::ordered_json j = ParsedJson(run.out);
    ASSERT_TRUE(j.is_object());
    EXPECT_EQ(j.at("from"), "blh:wgs84");
    EXPECT_EQ(j.at("via"), "gk:cgcs2000:114");
    const SiteTruth truth = TheSiteTruth();
    const auto &p = j.at("params"), &s = j.at("sigma");
    EXPECT_NEAR(p.at("dx").get<double>(), truth.dx, 3 * s.at("dx").get<double>());
    EXPECT_NEAR(p.at("dy").get<double>(), truth.dy, 3 * s.at("dy").get<double>());
    EXPECT_NEAR(p.at("scale_ppm").get<double>(), 18.6, 3 * s.at("scale_ppm").get<double>());
    EXPECT_NEAR(p.at("rotation_arcsec").get<double>(), -1234.5,
                3 * s.at("rotation_arcsec").get<double>());
    EXPECT_GT(j.at("sigma0").get<double>(), 0.002);
    EXPECT_LT(j.at("sigma0").get<double>(), 0.008);
    const auto &height = j.at("height");
    EXPECT_EQ(height.at("model"), "quadratic"); // auto, with 11 points
    EXPECT_EQ(height.at("coefficients").size(), 6u);
    EXPECT_EQ(height.at("unit").get<double>(), 1000.0);
    EXPECT_GT(height.at("sigma0").get<double>(), 0.003);
    EXPECT_LT(height.at("sigma0").get<double>(), 0.02);
    for (const auto &point : j.at("points")) {
        const bool slipped = point.at("name") == "水塔";
        EXPECT_EQ(point.at("state"), slipped ? "blunder" : "used") << point.at("name");
        EXPECT_EQ(point.at("passed"), !slipped) << point.at("name");
        EXPECT_LT(point.at("test").at(0).get<double>(), point.at("critical").at(0).get<double>());
        if (slipped) {
            EXPECT_NEAR(point.at("residual").at(2).get<double>(), -0.15, 0.03);
        }
    }

    const CalibrationFile file = ReadCalibrationFile(dir.Path("p.txt"));
    const auto truthPoints = SiteTruthPoints();
    const std::vector<Values> given = SiteCheckPointValues(file.source);
    ASSERT_EQ(given.size(), truthPoints.size());
    for (std::size_t i = 0; i < given.size(); ++i) {
        const Values local =
            ApplySiteCalibration(file.source, file.params, Direction::Forward, given[i]);
        const Values &t = truthPoints[i].second;
        EXPECT_LT(std::hypot(local[0] - t[0], local[1] - t[1]), 0.012) << truthPoints[i].first;
        EXPECT_LT(std::fabs(local[2] - t[2]), 0.03) << truthPoints[i].first;
    }

    const CoreCalibration core =
        CalibrateInCore(Example("site_common_points.txt"), file.source, CalibrationOptions{});
    EXPECT_EQ(testkit::ReadBytes(dir.Path("site四参数报告.txt")), core.report);
    const std::string report = ToUtf8(core.report, Encoding::Gbk);
    for (const char *says : {"原坐标系：blh:wgs84", "投影：gk:cgcs2000:114", "局部坐标系：plane"})
        EXPECT_NE(report.find(says), std::string::npos) << says;

    // The summary without --json names the same.
    const Outcome summary = Cli(dir, SiteArgs({"--check", "GPS11"}));
    ASSERT_EQ(summary.status, 0) << summary.err;
    for (const char *says : {"投影 via: gk:cgcs2000:114", "高程粗差 height blunders: 水塔",
                             "检核 check: 1", "scale    = 18.", "rotation = -1234."})
        EXPECT_NE(summary.out.find(says), std::string::npos) << says << "\n" << summary.out;
}

// A file of the site's points (B, L first) with B, L on the site's CGCS2000
// grid, zone-prefixed, for a grid source: the other fields as they are.
std::string OnTheGrid(const std::string &points) {
    std::string grid;
    const CalibrationSource blh =
        ParseCalibrationSource("blh:wgs84", std::string("gk:cgcs2000:114,zone=38"));
    std::istringstream lines(points);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> f;
        std::istringstream split(line.substr(0, line.find('\r')));
        for (std::string field; std::getline(split, field, ',');)
            f.push_back(field);
        Values v;
        for (int k = 0; k < 3; ++k)
            v[k] = blh.Read(k, f[k + 1]);
        const Values plane = blh.ToPlane(v);
        char text[200];
        std::snprintf(text, sizeof text, "%s,%.4f,%.4f", f[0].c_str(), plane[0], plane[1]);
        grid += text;
        for (std::size_t k = 3; k < f.size(); ++k)
            grid += "," + f[k];
        grid += "\r\n";
    }
    return grid;
}

// The same file with B and L in ddd.mmssss.
std::string InDms(const std::string &points) {
    std::string dms;
    std::istringstream lines(points);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> f;
        std::istringstream split(line.substr(0, line.find('\r')));
        for (std::string field; std::getline(split, field, ',');)
            f.push_back(field);
        for (std::size_t k = 0; k < f.size(); ++k) {
            dms += k == 0 ? "" : ",";
            dms += k == 1 || k == 2 ? FormatValue(ValueForm::Dms, std::stod(f[k])) : f[k];
        }
        dms += "\r\n";
    }
    return dms;
}

// The proj line through cct gives what the parameter file gives here, on
// each kind of source and surface PROJ can do; a quadratic surface has no
// proj line, only the plan's pipeline in a comment.
TEST(KovarimCliCalibrate, ProjLineAgreesWithCct) {
    testkit::TempDir dir;
    dir.Write("site.txt", Example("site_common_points.txt"));
    dir.Write("icgc.txt", EpsgPoints());
    const std::string grid = OnTheGrid(Example("site_common_points.txt"));
    dir.Write("grid.txt", grid);
    const struct {
        const char *name;
        std::vector<std::string> args;
        bool hasProj;
    } cases[] = {
        {"blh, a plane surface", SiteArgs({"--height", "plane"}), true},
        {"blh, a constant", SiteArgs({"--height", "constant", "--fixed-scale"}), true},
        {"blh, no surface", SiteArgs({"--height", "none"}), true},
        {"a zone-prefixed grid, a plane surface",
         {"calibrate", "grid.txt", "--from", "gk:cgcs2000:114,zone=38", "--to", "plane", "--height",
          "plane"},
         true},
        {"a plane", {"calibrate", "icgc.txt", "--from", "plane", "--to", "plane"}, true},
        {"blh, a quadratic surface", SiteArgs({"--height", "quadratic"}), false},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--params", "p.txt"});
        const Outcome run = Cli(dir, args);
        ASSERT_EQ(run.status, 0) << c.name << ": " << run.err;
        const std::string text = testkit::ReadBytes(dir.Path("p.txt"));
        const auto at = text.find("\nproj = ");
        EXPECT_EQ(at != std::string::npos, c.hasProj) << c.name << "\n" << text;
        if (!c.hasProj) {
            EXPECT_NE(text.find("# PROJ has no quadratic height surface"), std::string::npos);
            continue;
        }
        if (!HaveCct())
            continue;
        const CalibrationFile file = ReadCalibrationFile(dir.Path("p.txt"));
        const std::string proj = text.substr(at + 8, text.find('\n', at + 1) - at - 8);
        // Points of the site and about it, in the source's columns.
        std::string columns;
        std::vector<Values> sources;
        for (int i = 0; i < 25; ++i) {
            Values v;
            if (!file.source.system())
                v = {4500000.0 + 9000.0 * i, 300000.0 + 7000.0 * i, 0.0};
            else if (file.source.via())
                v = {30.52 + 0.0041 * i, 114.26 + 0.0037 * (i % 7) * 3, 10.0 + i};
            else
                v = {3380000.0 + 300.0 * i, 38525000.0 + 280.0 * (i % 9), 10.0 + i};
            char line[120];
            std::snprintf(line, sizeof line, "%.17g %.17g %.17g 0\n", v[0], v[1], v[2]);
            columns += line;
            sources.push_back(v);
        }
        dir.Write("points", columns);
        const std::string command =
            "cd '" + dir.Path("") + "' && cct -d 10 " + proj + " points > cct.out 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << c.name << ": " << proj;
        std::istringstream cct(testkit::ReadBytes(dir.Path("cct.out")));
        for (const Values &v : sources) {
            const Values ours =
                ApplySiteCalibration(file.source, file.params, Direction::Forward, v);
            double x = 0, y = 0, h = 0, t = 0;
            ASSERT_TRUE(cct >> x >> y >> h >> t) << c.name;
            EXPECT_NEAR(x, ours[0], 1e-6) << c.name;
            EXPECT_NEAR(y, ours[1], 1e-6) << c.name;
            EXPECT_NEAR(h, ours[2], 1e-6) << c.name;
        }
    }
}

// The file calibrate writes, applied by convert and point, forward and back,
// for each kind of source: the local values those of the calibration to the
// millimetre they are rounded to, and back to the values given to within
// what that rounding moves them.
// A calibration's file names its own systems: --from or --to beside it
// would say one thing and do another.
TEST(KovarimCliCalibrate, ItsParameterFileTakesNoSystems) {
    testkit::TempDir dir;
    dir.Write("site.txt", Example("site_common_points.txt"));
    dir.Write("pts.txt", Example("site_points.txt"));
    ASSERT_EQ(Cli(dir, SiteArgs({"--params", "p.txt"})).status, 0);
    const std::vector<std::string> cases[] = {
        {"convert", "--params", "p.txt", "--from", "blh:wgs84", "pts.txt", "out.txt"},
        {"point", "--params", "p.txt", "--to", "gk:cgcs2000:114", "30.5", "114.3", "1"},
    };
    for (const auto &args : cases) {
        const Outcome run = Cli(dir, args);
        EXPECT_EQ(run.status, 2) << args[0] << ": " << run.err;
        EXPECT_NE(run.err.find("场地校正参数文件自带坐标系"), std::string::npos) << run.err;
        EXPECT_FALSE(testkit::Exists(dir.Path("out.txt")));
    }
}

TEST(KovarimCliCalibrate, ConvertAndPointApplyItsParameterFile) {
    testkit::TempDir dir;
    dir.Write("site.txt", Example("site_common_points.txt"));
    dir.Write("site_points.txt", Example("site_points.txt"));
    dir.Write("dms.txt", InDms(Example("site_common_points.txt")));
    dir.Write("dms_points.txt", InDms(Example("site_points.txt")));
    dir.Write("grid.txt", OnTheGrid(Example("site_common_points.txt")));
    dir.Write("grid_points.txt", OnTheGrid(Example("site_points.txt")));
    dir.Write("icgc.txt", EpsgPoints());
    dir.Write("icgc_points.txt", "P1,4500000,300000,0\r\nP2,4650000.25,410000.5,12.5\r\n");
    const struct {
        const char *name;
        std::vector<std::string> calibrate;
        const char *points;
        double angleTolerance; // of B, L back, degrees
    } cases[] = {
        {"blh in degrees", SiteArgs({}), "site_points.txt", 2e-8},
        {"blh in ddd.mmssss",
         {"calibrate", "dms.txt", "--from", "blh:wgs84,dms", "--via", "gk:cgcs2000:114", "--to",
          "plane", "--height", "plane"},
         "dms_points.txt",
         2e-8},
        {"a zone-prefixed grid",
         {"calibrate", "grid.txt", "--from", "gk:cgcs2000:114,zone=38", "--to", "plane"},
         "grid_points.txt",
         0},
        {"a plane",
         {"calibrate", "icgc.txt", "--from", "plane", "--to", "plane"},
         "icgc_points.txt",
         0},
    };
    const auto fields = [](const std::string &line) {
        std::vector<std::string> f;
        std::istringstream split(line.substr(0, line.find('\r')));
        for (std::string field; std::getline(split, field, ',');)
            f.push_back(field);
        return f;
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = c.calibrate;
        args.insert(args.end(), {"--params", "p.txt"});
        const Outcome made = Cli(dir, args);
        ASSERT_EQ(made.status, 0) << c.name << ": " << made.err;
        const CalibrationFile file = ReadCalibrationFile(dir.Path("p.txt"));
        const Outcome forward = Cli(dir, {"convert", "--params", "p.txt", c.points, "-"});
        ASSERT_EQ(forward.status, 0) << c.name << ": " << forward.err;
        std::istringstream given(testkit::ReadBytes(dir.Path(c.points)));
        std::istringstream converted(forward.out);
        std::string local; // name, X, Y, h of each point, to go back
        std::vector<Values> sources;
        for (std::string in, out; std::getline(given, in);) {
            ASSERT_TRUE(std::getline(converted, out)) << c.name;
            const std::vector<std::string> f = fields(in), g = fields(out);
            ASSERT_EQ(g.size(), 7u) << c.name << ": " << out;
            Values v;
            for (int k = 0; k < 3; ++k)
                v[k] = file.source.Read(k, f[k + 1]);
            sources.push_back(v);
            const Values expected =
                ApplySiteCalibration(file.source, file.params, Direction::Forward, v);
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(std::stod(g[4 + k]), expected[k], 0.0005 + 1e-9)
                    << c.name << ": " << out;
            local += f[0] + "," + g[4] + "," + g[5] + "," + g[6] + "\r\n";
            // point gives what convert gives, both ways.
            const Outcome one = Cli(dir, {"point", "--params", "p.txt", f[1], f[2], f[3]});
            ASSERT_EQ(one.status, 0) << c.name << ": " << one.err;
            EXPECT_EQ(one.out, g[4] + " " + g[5] + " " + g[6] + "\n") << c.name;
        }
        dir.Write("local.txt", local);
        const Outcome back =
            Cli(dir, {"convert", "--inverse", "--params", "p.txt", "local.txt", "-"});
        ASSERT_EQ(back.status, 0) << c.name << ": " << back.err;
        std::istringstream lines(back.out);
        std::istringstream locals(local);
        for (const Values &v : sources) {
            std::string out, in;
            ASSERT_TRUE(std::getline(lines, out) && std::getline(locals, in)) << c.name;
            const std::vector<std::string> g = fields(out), f = fields(in);
            ASSERT_EQ(g.size(), 7u) << c.name << ": " << out;
            for (int k = 0; k < 3; ++k) {
                const bool angle = k < 2 && c.angleTolerance > 0;
                EXPECT_NEAR(file.source.Read(k, g[4 + k]), v[k], angle ? c.angleTolerance : 0.0015)
                    << c.name << ": " << out;
            }
            const Outcome one =
                Cli(dir, {"point", "--inverse", "--params", "p.txt", f[1], f[2], f[3]});
            ASSERT_EQ(one.status, 0) << c.name << ": " << one.err;
            EXPECT_EQ(one.out, g[4] + " " + g[5] + " " + g[6] + "\n") << c.name;
        }
    }
}

// What convert and point get for a value the calibration's source refuses or
// a file of the wrong kind: the file, the line and the field, or the value,
// named; status 1; no output.
TEST(KovarimCliCalibrate, ConvertAndPointRefuseWhatTheSourceRefuses) {
    testkit::TempDir dir;
    dir.Write("site.txt", Example("site_common_points.txt"));
    ASSERT_EQ(Cli(dir, SiteArgs({"--params", "p.txt"})).status, 0);
    dir.Write("other.txt", "kind = helmert\ndx = 1\n");
    const std::string seven = ParameterFileText(Params{}, "gps.txt", "A", "B", "C");
    dir.Write("seven_as_site.txt", "kind = site calibration\n" + seven);
    dir.Write("site_keys_in_seven.txt", seven + "via = gk:cgcs2000:114\n");
    const struct {
        const char *name;
        std::string points; // in.txt, for convert; empty: point
        std::vector<std::string> args;
        const char *says;
    } cases[] = {
        {"B beyond 90",
         "A,30.5,114.3,1\r\nB,91,114.3,1\r\n",
         {},
         "文件 in.txt\n第 2 行，第 2 个字段：第 2 条记录：原坐标系 B = 91"},
        {"L 10° from the central meridian", "A,30.5,124.3,1\r\n", {}, "超过 9°"},
        {"an empty L", "A,30.5,,1\r\n", {}, "第 1 行，第 3 个字段：第 1 条记录的坐标 y 为空"},
        {"a local X that is no number",
         "A,4x,1,1\r\n",
         {"--inverse"},
         "第 1 行，第 2 个字段：第 1 条记录：局部坐标系 X"},
        {"point: L not a number", "", {"30.5", "114.3.1", "1"}, "原坐标系 L"},
        {"point: B beyond 90", "", {"95", "114.3", "1"}, "原坐标系 B = 95"},
        {"point: a local h not a number", "", {"--inverse", "1", "2", "h"}, "局部坐标系 h"},
        {"a kind of parameter file unknown",
         "",
         {"--params", "other.txt", "1", "2", "3"},
         "参数文件的种类 “helmert” 未知"},
        {"seven parameters in a calibration's file",
         "",
         {"--params", "seven_as_site.txt", "1", "2", "3"},
         "属于七参数文件，不属于场地校正参数文件"},
        {"a calibration's key in a seven-parameter file",
         "",
         {"--params", "site_keys_in_seven.txt", "1", "2", "3"},
         "属于场地校正参数文件，不属于七参数文件"},
    };
    for (const auto &c : cases) {
        std::vector<std::string> args;
        const bool own = std::find(c.args.begin(), c.args.end(), "--params") != c.args.end();
        if (c.points.empty()) {
            dir.Write("in.txt", "");
            args = {"point"};
            if (!own)
                args.insert(args.end(), {"--params", "p.txt"});
            args.insert(args.end(), c.args.begin(), c.args.end());
        } else {
            dir.Write("in.txt", c.points);
            args = {"convert", "--params", "p.txt", "in.txt", "out.txt"};
            args.insert(args.end(), c.args.begin(), c.args.end());
        }
        const Outcome run = Cli(dir, args);
        EXPECT_EQ(run.status, 1) << c.name << ": " << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.name << ": " << run.err;
        EXPECT_EQ(run.out, "") << c.name;
        // As between any two systems, a bad record leaves no output at all,
        // not even the good records before it.
        EXPECT_FALSE(testkit::Exists(dir.Path("out.txt"))) << c.name;
        if (!c.points.empty()) {
            EXPECT_NE(run.err.find("没有写入任何记录"), std::string::npos)
                << c.name << ": " << run.err;
        }
    }
}

// A fit the points leave no redundancy for has no σ0: its standard
// deviations are unknown, not 0.
TEST(KovarimCliCalibrate, GivesNoSigmaWithoutRedundancy) {
    testkit::TempDir dir;
    dir.Write("two.txt", FirstLines(Example("site_common_points.txt"), 2));
    dir.Write("three.txt", FirstLines(Example("site_common_points.txt"), 3));
    const struct {
        const char *name, *file, *height;
        bool planeKnown, heightKnown;
    } cases[] = {
        {"two points, a constant", "two.txt", "auto", false, true},
        {"three points, a height plane", "three.txt", "plane", true, false},
    };
    for (const auto &c : cases) {
        const Outcome run =
            Cli(dir, {"calibrate", c.file, "--from", "blh:wgs84", "--via", "gk:cgcs2000:114",
                      "--to", "plane", "--height", c.height, "--json"});
        ASSERT_EQ(run.status, 0) << c.name << ": " << run.err;
        const nlohmann::ordered_json j = ParsedJson(run.out);
        ASSERT_TRUE(j.is_object()) << c.name;
        EXPECT_EQ(j.at("sigma0").is_null(), !c.planeKnown) << c.name;
        for (const char *key : {"dx", "dy", "scale_ppm", "rotation_arcsec"})
            EXPECT_EQ(j.at("sigma").at(key).is_number(), c.planeKnown) << c.name << " " << key;
        for (const auto &sigma : j.at("centroid").at("local_sigma"))
            EXPECT_EQ(sigma.is_number(), c.planeKnown) << c.name;
        for (const auto &sigma : j.at("height").at("sigma"))
            EXPECT_EQ(sigma.is_number(), c.heightKnown) << c.name;
        const Outcome summary =
            Cli(dir, {"calibrate", c.file, "--from", "blh:wgs84", "--via", "gk:cgcs2000:114",
                      "--to", "plane", "--height", c.height});
        ASSERT_EQ(summary.status, 0) << c.name << ": " << summary.err;
        EXPECT_EQ(summary.out.find("± 0 "), std::string::npos) << c.name << "\n" << summary.out;
        EXPECT_NE(summary.out.find("± 无 none"), std::string::npos) << c.name << "\n"
                                                                    << summary.out;
    }
}

// What bad input gets: a message naming the file or the argument, status 1
// or 2, and nothing written.
TEST(KovarimCliCalibrate, RefusesBadInputNamingTheFileOrTheArgument) {
    const std::string site = Example("site_common_points.txt");
    const struct {
        const char *name;
        std::string points; // site.txt
        std::vector<std::string> args;
        int status;
        const char *says;
    } cases[] = {
        {"one point",
         "A,1,2,3,4,5,6\r\n",
         {"--from", "plane"},
         1,
         "文件 site.txt\n可用的公共点只有 1 个（检核点不算在内），平面四参数至少需要 2 个点"},
        {"two points for a height plane",
         "A,1,2,3,4,5,6\r\nB,11,22,3,14,25,6\r\n",
         {"--from", "plane", "--height", "plane"},
         1,
         "高程拟合（平面）至少需要 3 个点"},
        {"five points for a quadratic", FirstLines(site, 5),
         SiteArgsOnly({"--height", "quadratic"}), 1, "可用的公共点只有"},
        {"points on one line for a height plane",
         "A,0,0,1,100,200,0\r\nB,10,10,1,110,210,0.1\r\nC,20,20,1,120,220,0.3\r\n"
         "D,30,30,1,130,230,0.2\r\n",
         {"--from", "plane", "--height", "plane"},
         1,
         "都在一条直线上"},
        {"all local points in one place",
         "A,0,0,3,4,5,6\r\nB,10,10,3,4,5,6\r\nC,20,20,3,4,5,6\r\n",
         {"--from", "plane"},
         1,
         "尺度 m 不是正数"},
        {"blh without --via", site, {"--from", "blh:wgs84"}, 2, "--via 缺少投影"},
        {"--via for a grid",
         site,
         {"--from", "gk:cgcs2000:114", "--via", "gk:cgcs2000:114"},
         2,
         "--via 只用于大地坐标 blh"},
        {"--via for a plane",
         site,
         {"--from", "plane", "--via", "gk:cgcs2000:114"},
         2,
         "--via 只用于大地坐标 blh"},
        {"--via not a grid",
         site,
         {"--from", "blh:wgs84", "--via", "blh:cgcs2000"},
         2,
         "--via 应为高斯-克吕格投影"},
        {"--from xyz", site, {"--from", "xyz"}, 2, "--from xyz 是地心直角坐标"},
        {"--from unreadable", site, {"--from", "gauss"}, 2, "--from 无法识别坐标系"},
        {"a B beyond 90 in the file",
         "A,91,114.3,1,2,3,4\r\nB,30,114.3,1,3,4,5\r\n",
         {"--from", "blh:wgs84", "--via", "gk:cgcs2000:114"},
         1,
         "文件 site.txt\n第 1 行，第 2 个字段：原坐标系 B = 91"},
        {"a check point not in the file", site, SiteArgsOnly({"--check", "东湖,西湖"}), 1,
         "检核点 “西湖” 不在文件中"},
    };
    for (const auto &c : cases) {
        testkit::TempDir dir;
        dir.Write("site.txt", c.points);
        std::vector<std::string> args = {"calibrate", "site.txt", "--to",  "plane",
                                         "--params",  "p.txt",    "--json"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome run = Cli(dir, args);
        EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.name << ": " << run.err;
        EXPECT_EQ(run.out, "") << c.name;
        EXPECT_EQ(dir.Names(), (std::vector<std::string>{"site.txt"})) << c.name;
    }
}

// A command line calibrate cannot take: status 2 and the help.
TEST(KovarimCliCalibrate, ExitsWithTwoForAWrongCommandLine) {
    testkit::TempDir dir;
    dir.Write("site.txt", Example("site_common_points.txt"));
    const struct {
        const char *name;
        std::vector<std::string> args;
        const char *says;
    } cases[] = {
        {"no file", {"calibrate", "--from", "plane", "--to", "plane"}, "一个公共点文件"},
        {"two files",
         {"calibrate", "a", "b", "--from", "plane", "--to", "plane"},
         "一个公共点文件"},
        {"no --from", {"calibrate", "site.txt", "--to", "plane"}, "缺少 --from"},
        {"no --to", {"calibrate", "site.txt", "--from", "plane"}, "缺少 --to plane"},
        {"--to a grid",
         {"calibrate", "site.txt", "--from", "plane", "--to", "gk:cgcs2000:114"},
         "只能是局部平面 plane"},
        {"--height unknown", SiteArgs({"--height", "cubic"}), "--height 应为 auto"},
        {"--height auto twice", SiteArgs({"--height", "auto", "--height=none"}),
         "--height 只能给一次"},
        {"--alpha out of range", SiteArgs({"--alpha", "0.5"}), "--alpha 应在"},
        {"--check open quote", SiteArgs({"--check", "\"A,B"}), "没有闭合的引号"},
        {"--check an empty name", SiteArgs({"--check", "东湖,"}), "空的点号"},
        {"--params empty", SiteArgs({"--params="}), "--params 的值为空"},
        {"--via without a value",
         {"calibrate", "site.txt", "--to", "plane", "--from", "blh:wgs84", "--via"},
         "--via 后面缺少值"},
        {"--inverse", SiteArgs({"--inverse"}), "calibrate 不接受选项"},
    };
    for (const auto &c : cases) {
        const Outcome run = Cli(dir, c.args);
        EXPECT_EQ(run.status, 2) << c.name << ": " << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.name << ": " << run.err;
        EXPECT_NE(run.err.find("Usage"), std::string::npos) << c.name;
        EXPECT_EQ(dir.Names(), (std::vector<std::string>{"site.txt"})) << c.name;
    }
}

// The parameter file is neither the input nor the report; a run whose
// results cannot be said puts nothing in place; check points and alpha in
// both option forms.
TEST(KovarimCliCalibrate, WritesItsFilesAllOrNothing) {
    testkit::TempDir dir;
    dir.Write("site.txt", Example("site_common_points.txt"));
    for (const auto &[params, says] :
         {std::pair<std::string, const char *>{"site.txt", "参数文件就是公共点文件"},
          {"site四参数报告.txt", "参数文件就是报告文件"},
          {"./sub/../site四参数报告.txt", "参数文件就是报告文件"}}) {
        std::filesystem::create_directories(testkit::Fs(dir.Path("sub")));
        const Outcome run = Cli(dir, SiteArgs({"--params", params}));
        EXPECT_EQ(run.status, 1) << params << ": " << run.err;
        EXPECT_NE(run.err.find(says), std::string::npos) << params << ": " << run.err;
        EXPECT_EQ(testkit::ReadBytes(dir.Path("site.txt")), Example("site_common_points.txt"));
        EXPECT_FALSE(testkit::Exists(dir.Path("site四参数报告.txt")));
    }
    dir.Write("site四参数报告.txt", "old report");
    dir.Write("p.txt", "old parameters");
    const Outcome closed = Cli(dir, SiteArgs({"--params", "p.txt"}), "", {"", "", true, false});
    EXPECT_EQ(closed.status, 1) << closed.err;
    EXPECT_EQ(testkit::ReadBytes(dir.Path("site四参数报告.txt")), "old report");
    EXPECT_EQ(testkit::ReadBytes(dir.Path("p.txt")), "old parameters");

    const Outcome checked =
        Cli(dir, SiteArgs({"--check=东湖", "--check", "\"K04\", GPS07", "--alpha=0.01", "--json",
                           "--params", "p.txt", "--fixed-scale"}));
    ASSERT_EQ(checked.status, 0) << checked.err;
    const nlohmann::ordered_json j = ParsedJson(checked.out);
    ASSERT_TRUE(j.is_object());
    std::vector<std::string> names;
    for (const auto &p : j.at("points"))
        if (p.at("state") == "check")
            names.push_back(p.at("name"));
    EXPECT_EQ(names, (std::vector<std::string>{"东湖", "K04", "GPS07"}));
    EXPECT_EQ(j.at("check_rms").size(), 4u);
    EXPECT_EQ(j.at("params").at("scale_ppm").get<double>(), 0.0);
    EXPECT_EQ(j.at("redundancy"), 2 * 9 - 3);
    const std::string text = testkit::ReadBytes(dir.Path("p.txt"));
    EXPECT_NE(text.find("# check points: 东湖, K04, GPS07\n"), std::string::npos) << text;
    EXPECT_NE(text.find("(scale held at 1)"), std::string::npos) << text;
    EXPECT_NE(testkit::ReadBytes(dir.Path("site四参数报告.txt")), "old report");
}

} // namespace
} // namespace kovarim
