#pragma once

#include <windows.h>

#include <string>

#include "window/seams.h"

namespace kovarim::win32 {

// UTF-8 inside the program, UTF-16 at every Win32 call.
std::wstring Wide(const std::string &utf8);
std::string Utf8(const std::wstring &wide);

// The common dialogs of Windows: no title, no folder, no default extension,
// no flags but those a dialog needs to come back empty on a cancel; the save
// dialog asks nothing when the file exists (the caller does).
class CommonDialogs : public window::FileDialogs {
  public:
    explicit CommonDialogs(HWND owner) : owner_(owner) {}
    std::optional<std::string> Open(const std::string &filter) override;
    std::optional<std::string> Save(const std::string &filter,
                                    const std::string &proposed) override;

  private:
    HWND owner_;
};

// MessageBoxW: OK with the program's title, or OK and Cancel (OK the
// default) with a caption; no icon.
class MessageBoxes : public window::MessageBoxes {
  public:
    explicit MessageBoxes(HWND owner) : owner_(owner) {}
    void Ok(const std::string &text) override;
    bool OkCancel(const std::string &text, const std::string &caption) override;

  private:
    HWND owner_;
};

// "Text files|*.txt" in the common dialogs' form: "Text files\0*.txt\0\0".
std::wstring DialogFilter(const std::string &filter);

} // namespace kovarim::win32
