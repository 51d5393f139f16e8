#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "app/win32/win32_seams.h"
#include "window/controls.h"
#include "window/form1.h"

namespace kovarim::win32 {

// The window in Win32: its controls built from the control table at the
// monitor's DPI, the seams the window logic talks to, and nothing else.
// Every behaviour is the logic's (window::Form1).
class Form1Window : private window::WindowThread {
  public:
    Form1Window();
    ~Form1Window() override;

    // Creates and shows the window; false when Windows refuses.
    bool Create(HINSTANCE instance, int show);
    // Runs the message loop until the window is gone; the exit code.
    int Run();

  private:
    struct Seams;

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT Handle(UINT message, WPARAM w, LPARAM l);
    void Layout(UINT dpi, const RECT *suggested);
    // True when the message is the user's input to the window, dropped
    // while an estimation runs (Esc is handed to the logic).
    bool DropWhileBlocked(const MSG &message);
    void KeepFocus();
    void RestoreFocus();

    // window::WindowThread
    void Post(std::function<void()> work) override;
    void StartTimer(int milliseconds, std::function<void()> tick) override;
    void StopTimer() override;
    void BlockInput(bool blocked) override;

    HWND window_ = nullptr;
    std::array<HWND, window::kControlCount> controls_{};
    HWND focused_ = nullptr; // the control to focus when the window is active again
    HFONT defaultFont_ = nullptr, titleFont_ = nullptr;
    std::mutex postedMutex_;
    std::vector<std::function<void()>> posted_;
    std::function<void()> tick_;
    bool inputBlocked_ = false;
    std::unique_ptr<CommonDialogs> dialogs_;
    std::unique_ptr<MessageBoxes> boxes_;
    std::unique_ptr<Seams> seams_;
    std::unique_ptr<window::Form1> logic_;
};

} // namespace kovarim::win32
