#pragma once

#include <functional>
#include <memory>
#include <string>

#include "model/seven_parameters.h"
#include "window/seams.h"

namespace kovarim::window {

// The program's one window without its toolkit: the three click handlers,
// each making its control operations in their fixed order, the estimation
// on a thread of its own, and the seven parameters of the last estimation.
// It computes nothing itself; the core does. A failure that a command does
// not handle itself is shown in a box; what the command had stored, shown
// or written stays.
//
// After an estimation whose best triple fits the other points clearly worse
// than least squares (adjustment/triple_review.h), the window asks whether to
// convert with the adjusted parameters instead; OK writes the adjustment
// report beside the accuracy report.
//
// While an estimation runs, the window takes no input (the front drops it,
// see WindowThread::BlockInput) but Esc, which stops it, and closing, which
// stops it and ends the program. A stopped estimation changes nothing.
// Everything here runs on the window's thread.
class Form1 {
  public:
    explicit Form1(Controls controls);
    ~Form1(); // stops an estimation in progress and waits for its thread
    Form1(const Form1 &) = delete;
    Form1 &operator=(const Form1 &) = delete;

    void Command1_Click(); // 计算公共点参数: estimation
    void Command2_Click(); // 批量转换: batch conversion
    void Command3_Click(); // 单点转换: single-point conversion

    // Esc while an estimation runs.
    void Escape();
    // The window is about to close: an estimation in progress stops, and
    // this returns once its thread has ended.
    void Closing();

    bool Estimating() const { return running_ != nullptr; }
    const Params &params() const { return params_; }

    // Called when a command of Command1 has ended, whatever its outcome.
    std::function<void()> estimationFinished;

    CommonDialog CommonDialog1; // the estimation's open dialog, the batch's save dialog
    CommonDialog CommonDialog2; // the batch's open dialog

  private:
    struct Running;
    struct Outcome;

    template <class Command> bool Guarded(Command command);
    void SetProgressRange(long long tripleCount);
    void ShowProgress();
    static void LookAgain(Outcome &outcome, const std::string &path);
    void Finish(Outcome &outcome);
    void OfferAdjustment(Outcome &outcome);
    bool EndRun();

    Controls c_;
    Params params_{};
    long long progressScale_ = 1;
    std::unique_ptr<Running> running_; // the estimation in progress, if any
    // Work posted to the window's thread holds this weakly: nothing runs on a
    // Form1 that is gone.
    std::shared_ptr<Form1 *> self_;
};

} // namespace kovarim::window
