#pragma once

#include <functional>
#include <optional>
#include <string>

// What the window logic asks of a toolkit. A front (Qt, Win32) implements
// these with its widgets; the tests implement them with scripts. Texts and
// file names are UTF-8.
namespace kovarim::window {

// Where a file dialog really comes from. `filter` is as the program sets
// it: "display|pattern" pairs, "|" between.
class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    // The chosen file, or nothing when the user cancelled.
    virtual std::optional<std::string> Open(const std::string &filter) = 0;
    virtual std::optional<std::string> Save(const std::string &filter,
                                            const std::string &proposed) = 0;
};

// A file-dialog component as the handlers use it: set FileName and Filter,
// show, read FileName back. A cancel raises nothing and leaves FileName as
// it was.
class CommonDialog {
  public:
    explicit CommonDialog(FileDialogs &dialogs) : dialogs_(dialogs) {}

    std::string FileName;
    std::string Filter;

    void ShowOpen() {
        if (auto chosen = dialogs_.Open(Filter))
            FileName = *chosen;
    }
    void ShowSave() {
        if (auto chosen = dialogs_.Save(Filter, FileName))
            FileName = *chosen;
    }

  private:
    FileDialogs &dialogs_;
};

// Modal message boxes, no icon.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // OK only, titled with the application's title.
    virtual void Ok(const std::string &text) = 0;
    // OK and Cancel, OK first and default; true for OK.
    virtual bool OkCancel(const std::string &text, const std::string &caption) = 0;
};

class ProgressBar {
  public:
    virtual ~ProgressBar() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual void SetMin(int min) = 0;
    virtual void SetMax(int max) = 0;
    virtual void SetValue(int value) = 0;
};

class TextBox {
  public:
    virtual ~TextBox() = default;
    virtual std::string Text() const = 0;
    virtual void SetText(const std::string &text) = 0;
};

class Button {
  public:
    virtual ~Button() = default;
    virtual void SetEnabled(bool enabled) = 0;
};

// The window's own thread.
class WindowThread {
  public:
    virtual ~WindowThread() = default;
    // Runs `work` on the window's thread, in the order posted; callable from
    // any thread.
    virtual void Post(std::function<void()> work) = 0;
    // Calls `tick` on the window's thread every `milliseconds` until stopped.
    virtual void StartTimer(int milliseconds, std::function<void()> tick) = 0;
    virtual void StopTimer() = 0;
    // While blocked, what the user does to the window is dropped, not kept
    // for later, but Esc, which the front hands to Form1::Escape, and
    // closing the window.
    virtual void BlockInput(bool blocked) = 0;
};

// Everything the three handlers touch.
struct Controls {
    Button &Command2, &Command3;
    TextBox &Text1, &Text2, &Text3, &Text4, &Text6, &Text7;
    ProgressBar &ProgressBar1;
    FileDialogs &dialogs;
    MessageBoxes &boxes;
    WindowThread &thread;
};

} // namespace kovarim::window
