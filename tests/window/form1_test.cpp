// The window's behaviour without a toolkit: the handlers driven through
// scripted seams, as a user would drive them, with the estimation on its
// own thread and its results posted back.
#include "window/form1.h"

#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "adjustment/adjustment_report.h"
#include "conversion/single_point.h"
#include "estimation/estimate.h"
#include "testkit.h"
#include "window/controls.h"
#include "window/scripted_seams.h"

namespace kovarim::window {
namespace {

using scripted::ScriptedBoxes;
using scripted::ScriptedDialogs;

const std::string kPoints = "A,0,0,0,10,20,30\r\n"
                            "B,100,0,0,110,20,30\r\n"
                            "C,0,100,0,10,120,30\r\n"
                            "D,100,100,10,109.99877,120.0042,40\r\n";

// Common points enough for a search of some seconds: 3000 points, 4.5
// billion triples.
std::string ManyPoints() {
    std::string points;
    for (int i = 0; i < 3000; ++i) {
        const int x = 1000 + (i * 7919) % 5000, y = 2000 + (i * 104729) % 5003;
        points += "P" + std::to_string(i) + "," + std::to_string(x) + "," + std::to_string(y) +
                  ",0," + std::to_string(x + 1) + "," + std::to_string(y + 2) + ",3\r\n";
    }
    return points;
}

struct FakeButton : Button {
    bool enabled;
    explicit FakeButton(bool enabledAtStart) : enabled(enabledAtStart) {}
    void SetEnabled(bool e) override { enabled = e; }
};

struct FakeTextBox : TextBox {
    std::string text;
    explicit FakeTextBox(std::string initial) : text(std::move(initial)) {}
    std::string Text() const override { return text; }
    void SetText(const std::string &t) override { text = t; }
};

struct FakeBar : ProgressBar {
    bool enabled = true, visible = false;
    int min = kBarMin, max = kBarMax, value = kBarMin;
    void SetEnabled(bool e) override { enabled = e; }
    void SetVisible(bool v) override { visible = v; }
    void SetMin(int m) override { min = m; }
    void SetMax(int m) override { max = m; }
    void SetValue(int v) override { value = v; }
};

// The window's thread is the test's: posted work waits in a queue until the
// test runs it, the timer ticks when the test says so.
struct FakeThread : WindowThread {
    std::mutex mutex;
    std::vector<std::function<void()>> queue;
    std::function<void()> tick;
    bool blocked = false;

    void Post(std::function<void()> work) override {
        std::lock_guard lock(mutex);
        queue.push_back(std::move(work));
    }
    void StartTimer(int, std::function<void()> t) override { tick = std::move(t); }
    void StopTimer() override { tick = nullptr; }
    void BlockInput(bool b) override { blocked = b; }

    // Runs what was posted, and the timer, until `done` or a minute passes.
    bool RunUntil(const std::function<bool()> &done) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (!done()) {
            if (std::chrono::steady_clock::now() > limit)
                return false;
            std::vector<std::function<void()>> work;
            {
                std::lock_guard lock(mutex);
                work.swap(queue);
            }
            for (auto &w : work)
                w();
            if (tick)
                tick();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
};

class WindowTest : public ::testing::Test {
  protected:
    ScriptedDialogs dialogs;
    ScriptedBoxes boxes;
    FakeButton command2{false}, command3{false};
    FakeTextBox text1{""}, text2{""}, text3{"2860321.78"}, text4{"592341.79"}, text6{"0"},
        text7{""};
    FakeBar bar;
    FakeThread thread;
    testkit::TempDir dir;
    std::unique_ptr<Form1> form = std::make_unique<Form1>(Controls{
        command2, command3, text1, text2, text3, text4, text6, text7, bar, dialogs, boxes, thread});

    std::string Path(const std::string &name) const { return dir.Path(name); }

    // Clicks 计算公共点参数 and waits until its command has ended.
    void ClickCommand1() {
        form->Command1_Click();
        ASSERT_TRUE(thread.RunUntil([&] { return !form->Estimating(); }));
    }

    // A completed estimation on kPoints: parameters (10, 20, 30, 0, 0, 0, 0).
    void Estimate() {
        dir.Write("gps.txt", kPoints);
        dialogs.answers.push_back(Path("gps.txt"));
        ClickCommand1();
    }

    std::vector<std::string> Files() const { return dir.Names(); }
};

TEST_F(WindowTest, CancelledEstimationLeavesEverythingButTheBar) {
    text3.text = "123";
    ClickCommand1();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].kind, "open");
    EXPECT_EQ(dialogs.calls[0].filter, "Text files|*.txt");
    EXPECT_TRUE(bar.visible);
    EXPECT_TRUE(bar.enabled);
    EXPECT_EQ(bar.min, 1);
    EXPECT_FALSE(command2.enabled);
    EXPECT_EQ(text3.text, "123");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(WindowTest, EstimationWritesTheReportAndEnablesTheConversions) {
    Estimate();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_FALSE(bar.visible);
    EXPECT_EQ(bar.max, 5); // four triples, plus one
    EXPECT_EQ(bar.value, 4);
    EXPECT_TRUE(command2.enabled);
    EXPECT_TRUE(command3.enabled);
    EXPECT_EQ(form->params(), MakeParams(10, 20, 30, 0, 0, 0, 0));
    const std::string report = testkit::ReadBytes(Path("gps七参数精度评估.txt"));
    EXPECT_TRUE(report.ends_with("D                   0.00123       -0.0042         0 \r\n"));
    EXPECT_FALSE(thread.blocked);
}

TEST_F(WindowTest, CancelledEstimationAfterACompletedOneKeepsIt) {
    Estimate();
    ClickCommand1(); // cancelled
    EXPECT_TRUE(command2.enabled);
    EXPECT_EQ(form->params(), MakeParams(10, 20, 30, 0, 0, 0, 0));
}

TEST_F(WindowTest, MalformedFileGivesAMessageNamingFileAndLine) {
    dir.Write("bad.txt", "A,0,0,0,10,20,30\r\nB,100,0,zero,110,20,30\r\n");
    dialogs.answers.push_back(Path("bad.txt"));
    ClickCommand1();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_FALSE(boxes.shown[0].withCancel);
    EXPECT_NE(boxes.shown[0].text.find("bad.txt"), std::string::npos);
    EXPECT_NE(boxes.shown[0].text.find("第 2 行"), std::string::npos);
    EXPECT_NE(boxes.shown[0].text.find("z1"), std::string::npos);
    EXPECT_FALSE(command2.enabled);
    EXPECT_TRUE(bar.visible); // refused before the search, as a cancel leaves it
    EXPECT_EQ(Files(), std::vector<std::string>{"bad.txt"});
}

TEST_F(WindowTest, TwoPointsGiveTheMessageOnceAndNoReport) {
    dir.Write("two.txt", "A,0,0,0,1,1,1\r\nB,5,5,5,6,6,6\r\n");
    dialogs.answers.push_back(Path("two.txt"));
    bool barShown = true;
    boxes.onShow = [&] { barShown = bar.visible; };
    ClickCommand1();
    EXPECT_FALSE(barShown); // the search is over before the message comes
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              "需要至少三个以上的公共点才能进行七参数计算\n文件中只有 2 个公共点");
    EXPECT_FALSE(boxes.shown[0].withCancel);
    EXPECT_EQ(Files(), std::vector<std::string>{"two.txt"});
    EXPECT_FALSE(command3.enabled);
    EXPECT_FALSE(bar.visible);
}

// All or nothing: a failed estimation keeps the last one's report,
// parameters and buttons, and says why.
TEST_F(WindowTest, FailedEstimationKeepsTheLastOne) {
    // The bar: hidden when the search is over, still showing when the file
    // was refused before it began.
    const struct {
        const char *name;
        std::string content; // empty: the file is deleted
        const char *says;
        bool barShown;
    } cases[] = {
        {"no usable triple", "A,0,0,0,1,1,1\r\nB,5,5,5,6,6,6\r\n",
         "需要至少三个以上的公共点才能进行七参数计算", false},
        {"malformed line", "A,0,0,0,1,1,1\r\nB,5,5\r\n", "第 2 行", true},
        {"deleted after the dialog", "", "无法打开", true},
        {"GBK and UTF-8 names",
         "A,0,0,0,10,20,30\r\n\xB5\xE3,100,0,0,110,20,30\r\n王家庄,0,100,0,10,120,30\r\n",
         "第 3 行：无法确定文件的编码（GBK 还是 UTF-8）", true},
        {"UTF-16",
         std::string("\xFF\xFE"
                     "A\0",
                     4),
         "UTF-16", true},
    };
    for (const auto &c : cases) {
        boxes.shown.clear();
        Estimate();
        const std::string report = testkit::ReadBytes(Path("gps七参数精度评估.txt"));
        if (c.content.empty())
            std::filesystem::remove(Path("gps.txt"));
        else
            dir.Write("gps.txt", c.content);
        dialogs.answers.push_back(Path("gps.txt"));
        ClickCommand1();
        ASSERT_EQ(boxes.shown.size(), 1u) << c.name;
        EXPECT_NE(boxes.shown[0].text.find(c.says), std::string::npos)
            << c.name << ": " << boxes.shown[0].text;
        EXPECT_EQ(testkit::ReadBytes(Path("gps七参数精度评估.txt")), report) << c.name;
        EXPECT_EQ(Files().size(), c.content.empty() ? 1u : 2u) << c.name;
        EXPECT_EQ(form->params(), MakeParams(10, 20, 30, 0, 0, 0, 0)) << c.name;
        EXPECT_TRUE(command2.enabled) << c.name;
        EXPECT_TRUE(command3.enabled) << c.name;
        EXPECT_EQ(bar.visible, c.barShown) << c.name;
    }
}

// While the search runs the window is blocked for input; Esc stops the
// estimation, which then changes nothing.
TEST_F(WindowTest, EscStopsTheEstimationAndNothingChanges) {
    dir.Write("many.txt", ManyPoints());
    dialogs.answers.push_back(Path("many.txt"));
    form->Command1_Click();
    EXPECT_TRUE(form->Estimating());
    EXPECT_TRUE(thread.blocked);
    form->Command1_Click(); // a second click, should one come through, starts nothing
    form->Escape();
    ASSERT_TRUE(thread.RunUntil([&] { return !form->Estimating(); }));
    EXPECT_EQ(dialogs.calls.size(), 1u);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(form->params(), Params{});
    EXPECT_FALSE(command2.enabled);
    EXPECT_FALSE(bar.visible);
    EXPECT_FALSE(thread.blocked);
    EXPECT_EQ(Files(), std::vector<std::string>{"many.txt"});
}

TEST_F(WindowTest, ClosingDuringAnEstimationStopsItAndLeavesNothing) {
    Estimate();
    const std::string report = testkit::ReadBytes(Path("gps七参数精度评估.txt"));
    dir.Write("gps.txt", ManyPoints());
    dialogs.answers.push_back(Path("gps.txt"));
    form->Command1_Click();
    EXPECT_TRUE(form->Estimating());
    form->Closing();
    EXPECT_FALSE(form->Estimating());
    form.reset(); // the window goes; what the estimation posted must not run
    for (auto &work : thread.queue)
        work();
    EXPECT_EQ(testkit::ReadBytes(Path("gps七参数精度评估.txt")), report);
    EXPECT_EQ(Files().size(), 2u);
}

TEST_F(WindowTest, SinglePointConversionWritesTheOutputBoxes) {
    Estimate();
    text1.text = "typed by the user";
    form->Command3_Click();
    EXPECT_EQ(text1.text, "2860331.78");
    EXPECT_EQ(text2.text, "592361.79");
    EXPECT_EQ(text7.text, "30");
    EXPECT_EQ(text3.text, "2860321.78");
    form->Command3_Click();
    EXPECT_EQ(text1.text, "2860331.78");
}

TEST_F(WindowTest, SinglePointOverflowIsReported) {
    Estimate();
    text4.text = "1e999";
    form->Command3_Click();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].text.find("超出"), std::string::npos);
    EXPECT_EQ(text1.text, "");
}

TEST_F(WindowTest, BatchConversionWritesUnderTheProposedNameWhenSaveIsCancelled) {
    Estimate();
    dir.Write("pts.txt", "P1,1,2,3\r\n");
    dialogs.calls.clear();
    dialogs.answers = {Path("pts.txt"), std::nullopt};
    form->Command2_Click();
    ASSERT_EQ(dialogs.calls.size(), 2u);
    EXPECT_EQ(dialogs.calls[0].filter, "Text files|*.txt");
    EXPECT_EQ(dialogs.calls[1].kind, "save");
    EXPECT_EQ(dialogs.calls[1].filter, "明码文件(*.txt)|*.txt");
    EXPECT_EQ(dialogs.calls[1].proposed, Path("ptsto"));
    EXPECT_EQ(testkit::ReadBytes(Path("ptsto")), "\"P1\",1,2,3,11,22,33\r\n");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(WindowTest, BatchConversionAsksBeforeReplacing) {
    for (const bool ok : {false, true}) {
        Estimate();
        dir.Write("pts.txt", "P1,1,2,3\r\n");
        dir.Write("out.txt", "old");
        boxes.shown.clear();
        dialogs.answers = {Path("pts.txt"), Path("out.txt")};
        boxes.answers = {ok};
        form->Command2_Click();
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, "文件已经存在,要替换它吗?");
        EXPECT_EQ(boxes.shown[0].caption, "另存为");
        EXPECT_TRUE(boxes.shown[0].withCancel);
        EXPECT_EQ(testkit::ReadBytes(Path("out.txt")), ok ? "\"P1\",1,2,3,11,22,33\r\n" : "old");
    }
}

TEST_F(WindowTest, CancelledBatchOpenDialogDoesNothing) {
    Estimate();
    dialogs.calls.clear();
    form->Command2_Click();
    EXPECT_EQ(dialogs.calls.size(), 1u);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(WindowTest, FilesThatVanishedAfterTheDialogAreReported) {
    dialogs.answers.push_back(Path("gone.txt"));
    ClickCommand1();
    Estimate();
    dialogs.answers = {Path("gone.txt"), std::nullopt};
    form->Command2_Click();
    ASSERT_EQ(boxes.shown.size(), 2u);
    for (const auto &shown : boxes.shown) {
        EXPECT_NE(shown.text.find("gone.txt"), std::string::npos);
        EXPECT_NE(shown.text.find("无法打开"), std::string::npos);
    }
}

TEST_F(WindowTest, BatchErrorNamesTheRecord) {
    Estimate();
    dir.Write("pts.txt", "P1,1,2,3\r\nP2,x,2,3\r\n");
    dialogs.answers = {Path("pts.txt"), std::nullopt};
    form->Command2_Click();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].text.find("第 2 条记录"), std::string::npos);
    EXPECT_NE(boxes.shown[0].text.find("pts.txt"), std::string::npos);
    EXPECT_EQ(testkit::ReadBytes(Path("ptsto")), "\"P1\",1,2,3,11,22,33\r\n");
}

std::string Example(const char *name) {
    return testkit::ReadBytes(std::string(KOVARIM_SOURCE_DIR "/examples/") + name);
}

// The single-point conversion of the default boxes under `params`, as
// Command3 shows it.
std::vector<std::string> Converted(const Params &params) {
    std::vector<std::string> shown(3);
    ConvertSinglePoint(
        params, "2860321.78", "592341.79", "0",
        [&](Axis axis, const std::string &text) { shown[static_cast<int>(axis)] = text; });
    return shown;
}

// A clean network whose best triple is a thin triangle (4.5 m off at 李村):
// the window asks, with the application's title, whether to convert with
// the least-squares parameters. OK writes the adjustment report, the
// command line's bytes, and the conversions use the adjusted parameters
// until the next estimation; Cancel keeps everything as it was.
TEST_F(WindowTest, WeakTripleAsksWhetherToConvertWithTheAdjustedParameters) {
    for (const bool ok : {true, false}) {
        testkit::TempDir here;
        const std::string path = here.Write("weak.txt", Example("weak_triple.txt"));
        boxes.shown.clear();
        boxes.answers = {ok};
        dialogs.answers.push_back(path);
        std::vector<std::string> whileAsked;
        boxes.onShow = [&] { whileAsked = here.Names(); };
        ClickCommand1();
        boxes.onShow = nullptr;
        // While the question waits, nothing of the adjustment is on the disk.
        EXPECT_EQ(whileAsked, (std::vector<std::string>{"weak.txt", "weak七参数精度评估.txt"}));
        ASSERT_EQ(boxes.shown.size(), 1u) << ok;
        const auto &box = boxes.shown[0];
        EXPECT_TRUE(box.withCancel);
        EXPECT_EQ(box.caption, "Kovarim1.0");
        for (const char *says : {"李村 的 Z 残差为 -4.51119", "σ0 = 0.00284", "1590 倍",
                                 "用了 12 个点", "没有粗差", "要改用最小二乘平差的七参数"})
            EXPECT_NE(box.text.find(says), std::string::npos) << says << "\n" << box.text;

        // What kovarim-cli adjust writes for the same file.
        testkit::TempDir there;
        AdjustedFile cli =
            AdjustCommonPointFile(there.Write("weak.txt", Example("weak_triple.txt")), {});
        cli.report->Commit();
        const std::string adjusted = here.Path("weak七参数平差报告.txt");
        EXPECT_EQ(testkit::Exists(adjusted), ok);
        if (ok) {
            EXPECT_EQ(testkit::ReadBytes(adjusted), testkit::ReadBytes(cli.report->finalPath()));
        }
        EXPECT_TRUE(testkit::Exists(here.Path("weak七参数精度评估.txt")));
        EXPECT_EQ(here.Names().size(), ok ? 3u : 2u);
        EXPECT_EQ(form->params() == cli.adjustment.params, ok);
        EXPECT_TRUE(command3.enabled);
        form->Command3_Click();
        const std::vector<std::string> shown = Converted(form->params());
        EXPECT_EQ(text1.text, shown[0]);
        EXPECT_EQ(text7.text, shown[2]);

        // The next estimation, of a file whose triple is sound, asks nothing
        // and brings the triple's parameters back.
        boxes.shown.clear();
        Estimate();
        EXPECT_TRUE(boxes.shown.empty());
        EXPECT_EQ(form->params(), MakeParams(10, 20, 30, 0, 0, 0, 0));
    }
}

// Nothing is asked when the triple passes (the example, whose one blunder
// the adjustment finds), when the adjustment cannot run (three points), for
// four points that agree, nor when a point the adjustment kept fails its
// test: no box, no adjustment report.
TEST_F(WindowTest, SoundTripleOrNoAdjustmentAsksNothing) {
    const struct {
        const char *name;
        std::string content;
    } cases[] = {
        {"the example", Example("common_points.txt")},
        {"three points", "A,0,0,0,10,20,30\r\nB,100,0,0,110,20,30\r\nC,0,100,0,10,120,30\r\n"},
        {"four points", kPoints},
        // P3 off by 1 m: the adjustment keeps it, failing, as four must stay.
        {"four points, one a blunder",
         "P1,2862794.692,590955.437,58.479,2862701.713,590985.485,65.686\r\n"
         "P2,2861667.998,589872.829,120.904,2861574.997,589902.889,128.138\r\n"
         "P3,2858170.107,594743.056,47.629,2858078.180,594773.194,54.861\r\n"
         "P4,2859928.894,589523.094,144.595,2859835.879,589553.188,151.852\r\n"},
    };
    for (const auto &c : cases) {
        testkit::TempDir here;
        dialogs.answers.push_back(here.Write("gps.txt", c.content));
        boxes.shown.clear();
        ClickCommand1();
        EXPECT_TRUE(boxes.shown.empty()) << c.name << ": " << boxes.shown[0].text;
        EXPECT_EQ(here.Names(), (std::vector<std::string>{"gps.txt", "gps七参数精度评估.txt"}))
            << c.name;
        EXPECT_TRUE(command2.enabled) << c.name;
    }
}

// OK, but the adjustment report cannot be written (its name is a folder):
// the failure is shown, and the triple's parameters stay.
TEST_F(WindowTest, AdjustmentReportThatCannotBeWrittenKeepsTheTriplesParameters) {
    testkit::TempDir here;
    const std::string path = here.Write("weak.txt", Example("weak_triple.txt"));
    std::filesystem::create_directory(testkit::Fs(here.Path("weak七参数平差报告.txt")));
    boxes.answers = {true};
    dialogs.answers.push_back(path);
    ClickCommand1();
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_TRUE(boxes.shown[0].withCancel);
    EXPECT_FALSE(boxes.shown[1].withCancel);
    EXPECT_NE(boxes.shown[1].text.find("文件夹"), std::string::npos) << boxes.shown[1].text;
    testkit::TempDir there;
    std::optional<Estimation> triple =
        kovarim::Estimate(there.Write("weak.txt", Example("weak_triple.txt")), {});
    EXPECT_EQ(form->params(), triple->params());
    EXPECT_TRUE(command3.enabled);
}

} // namespace
} // namespace kovarim::window
