#include "window/form1.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <new>
#include <optional>
#include <thread>

#include "adjustment/adjustment_report.h"
#include "adjustment/triple_review.h"
#include "base/error.h"
#include "conversion/batch_conversion.h"
#include "conversion/single_point.h"
#include "estimation/estimate.h"
#include "textio/text_file.h"
#include "window/controls.h"
#include "window/texts.h"

namespace kovarim::window {

// The estimation in progress: its thread and what the window reads of it.
struct Form1::Running {
    std::thread worker;
    std::atomic<long long> done{0};   // triples tried
    std::atomic<long long> total{-1}; // triples in all, once counted
    std::atomic<bool> stop{false};    // Esc, or the window closes
};

// How the estimation ended, handed from its thread to the window's.
struct Form1::Outcome {
    std::optional<Estimation> estimation; // complete, not yet in place
    // The second look, when the triple is weak.
    std::optional<TripleReview> review;
    std::string path; // the common-point file, for the adjustment report
    std::string failure;
    bool stopped = false;
};

namespace {

// The text of a failure that a command does not handle itself.
template <class Action> std::optional<std::string> FailureOf(Action action) {
    try {
        action();
        return std::nullopt;
    } catch (const Error &e) {
        return e.what();
    } catch (const std::bad_alloc &) {
        return texts::kOutOfMemory;
    } catch (const std::exception &e) {
        return std::string(texts::kAborted) + e.what();
    }
}

} // namespace

Form1::Form1(Controls controls)
    : CommonDialog1(controls.dialogs), CommonDialog2(controls.dialogs), c_(controls),
      self_(std::make_shared<Form1 *>(this)) {}

Form1::~Form1() { Closing(); }

// Runs a command; a failure it does not handle itself is shown, and false
// comes back.
template <class Command> bool Form1::Guarded(Command command) {
    if (const auto failure = FailureOf(command)) {
        c_.boxes.Ok(*failure);
        return false;
    }
    return true;
}

void Form1::SetProgressRange(long long tripleCount) {
    // The bar's range is an int; beyond it, every position stands for
    // progressScale_ triples.
    const long long max = tripleCount + 1;
    progressScale_ = max / INT_MAX + 1;
    c_.ProgressBar1.SetMax(static_cast<int>(max / progressScale_));
}

// The bar shows the ordinal of the triple being tried: 1 to the count.
void Form1::ShowProgress() {
    if (!running_ || running_->total < 1)
        return; // not counted yet, or nothing to count
    const long long ordinal = std::clamp(running_->done.load() + 1, 1LL, running_->total.load());
    c_.ProgressBar1.SetValue(static_cast<int>(ordinal / progressScale_));
}

void Form1::Command1_Click() {
    if (running_)
        return;
    c_.ProgressBar1.SetEnabled(true);
    c_.ProgressBar1.SetVisible(true);
    c_.ProgressBar1.SetMin(1);

    CommonDialog1.FileName.clear();
    CommonDialog1.Filter = texts::kOpenFilter;
    CommonDialog1.ShowOpen();
    const std::string chosen = CommonDialog1.FileName;
    if (chosen.empty())
        return;

    // The core calls its hooks on the estimation's thread; each is handed to
    // the window's thread in the order it came, for this run only.
    running_ = std::make_unique<Running>();
    Running *run = running_.get();
    auto post = [this, run, self = std::weak_ptr<Form1 *>(self_)](auto work) {
        c_.thread.Post([self, run, work] {
            if (const auto alive = self.lock(); alive && (*alive)->running_.get() == run)
                work(**alive);
        });
    };
    run->worker = std::thread([run, post, path = chosen] {
        auto outcome = std::make_shared<Outcome>();
        const auto failure = FailureOf([&] {
            try {
                EstimationHooks hooks;
                hooks.progress.started = [run, post](long long count) {
                    run->total = count;
                    post([count](Form1 &form) { form.SetProgressRange(count); });
                };
                hooks.progress.done = &run->done;
                hooks.progress.stop = &run->stop;
                hooks.searchDone = [post] {
                    post([](Form1 &form) {
                        form.ShowProgress();
                        form.c_.ProgressBar1.SetVisible(false);
                    });
                };
                outcome->estimation = Estimate(path, hooks);
                LookAgain(*outcome, path);
            } catch (const SearchStopped &) {
                outcome->stopped = true;
            }
        });
        if (failure)
            outcome->failure = *failure;
        post([outcome](Form1 &form) { form.Finish(*outcome); });
    });
    c_.thread.BlockInput(true);
    c_.thread.StartTimer(33, [this] { ShowProgress(); }); // about 30 times a second
}

// On the estimation's thread: the adjustment of the same points, milliseconds.
void Form1::LookAgain(Outcome &outcome, const std::string &path) {
    const Estimation &e = *outcome.estimation;
    outcome.review = ReviewTriple(e.table(), e.choice(), e.params());
    outcome.path = path;
}

void Form1::Finish(Outcome &outcome) {
    // Esc after the search still counts: nothing is put in place.
    const bool stopped = EndRun() || outcome.stopped;
    // The search hides the bar when it is over; a failure before then (a
    // file refused as it is read) leaves it showing what it last showed, as
    // a cancelled dialog does. A stopped estimation is over.
    if (stopped)
        c_.ProgressBar1.SetVisible(false);

    if (stopped) {
        // Esc: nothing to say, nothing to keep.
    } else if (!outcome.failure.empty()) {
        c_.boxes.Ok(outcome.failure);
    } else {
        // All or nothing: the parameters and the buttons change only once the
        // whole report has replaced the old one.
        if (Guarded([&] { outcome.estimation->Commit(); })) {
            params_ = outcome.estimation->params();
            c_.Command2.SetEnabled(true);
            c_.Command3.SetEnabled(true);
            if (outcome.review)
                OfferAdjustment(outcome);
        }
    }
    outcome.estimation.reset(); // an unfinished report goes with it
    if (estimationFinished)
        estimationFinished();
}

// The triple is weak: asks whether to convert with the adjusted parameters.
// OK puts the adjustment report in place beside the accuracy report, and
// the conversions use the adjusted parameters until the next estimation.
void Form1::OfferAdjustment(Outcome &outcome) {
    const std::string question =
        WeakTripleFinding(outcome.estimation->table(), outcome.review->adjustment,
                          outcome.review->weak) +
        "。\n\n" + texts::kUseAdjustedQuestion;
    if (!c_.boxes.OkCancel(question, kAppTitle))
        return;
    // Written only now: while the question waits, nothing of it is on the
    // disk. A report that cannot be written leaves the triple's parameters.
    if (Guarded([&] {
            PrepareAdjustmentReport(outcome.path, outcome.estimation->table(),
                                    outcome.review->adjustment)
                ->Commit();
        }))
        params_ = outcome.review->adjustment.params;
}

void Form1::Escape() {
    if (running_)
        running_->stop = true;
}

void Form1::Closing() {
    if (!running_)
        return;
    running_->stop = true;
    EndRun();
}

// Waits for the estimation's thread, which leaves nothing behind once
// stopped, and gives the window its input back; true when the estimation
// was asked to stop.
bool Form1::EndRun() {
    running_->worker.join();
    const bool stopped = running_->stop;
    c_.thread.StopTimer();
    c_.thread.BlockInput(false);
    running_.reset();
    return stopped;
}

void Form1::Command2_Click() {
    CommonDialog2.FileName.clear();
    CommonDialog2.Filter = texts::kOpenFilter;
    CommonDialog2.ShowOpen();
    const std::string input = CommonDialog2.FileName;

    const auto proposed = ProposedOutputName(input);
    if (!proposed)
        return; // a cancelled open dialog leaves an empty name

    // CommonDialog1 serves as the save dialog here, as the layout has it.
    CommonDialog1.Filter = texts::kSaveFilter;
    CommonDialog1.FileName = *proposed;
    CommonDialog1.ShowSave(); // a cancel keeps the proposed name
    const std::string output = CommonDialog1.FileName;

    Guarded([&] {
        ConvertFile(input, output, params_, [this] {
            return c_.boxes.OkCancel(texts::kReplaceQuestion, texts::kReplaceCaption);
        });
    });
}

void Form1::Command3_Click() {
    Guarded([&] {
        TextBox *outputs[] = {&c_.Text1, &c_.Text2, &c_.Text7};
        ConvertSinglePoint(params_, c_.Text3.Text(), c_.Text4.Text(), c_.Text6.Text(),
                           [&](Axis axis, const std::string &text) {
                               outputs[static_cast<int>(axis)]->SetText(text);
                           });
    });
}

} // namespace kovarim::window
