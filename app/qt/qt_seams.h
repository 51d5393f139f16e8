#pragma once

#include <QString>

#include "window/seams.h"

namespace kovarim::qt {

// Qt's own file dialogs, with no title, folder, default suffix or options of
// ours; the save dialog asks nothing when the file exists (the caller does).
class QtFileDialogs : public window::FileDialogs {
  public:
    std::optional<std::string> Open(const std::string &filter) override;
    std::optional<std::string> Save(const std::string &filter,
                                    const std::string &proposed) override;
};

// Qt's message boxes, with no icon.
class QtMessageBoxes : public window::MessageBoxes {
  public:
    void Ok(const std::string &text) override;
    bool OkCancel(const std::string &text, const std::string &caption) override;
};

// "Text files|*.txt" in Qt's form: "Text files (*.txt)".
QString QtFilter(const std::string &filter);

} // namespace kovarim::qt
