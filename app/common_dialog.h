#pragma once

#include <optional>

#include <QString>

class QWidget;

namespace kovarim::app {

// Where a file dialog really comes from: Qt's, or a scripted one in tests.
class FileDialogBackend {
  public:
    virtual ~FileDialogBackend() = default;
    // The chosen file, or nothing when the user cancelled. `filter` is in
    // Qt's form ("Text files (*.txt)").
    virtual std::optional<QString> Open(const QString &filter) = 0;
    virtual std::optional<QString> Save(const QString &filter, const QString &proposed) = 0;
};

// Qt's own file dialogs, with no title, folder, default suffix or options of
// ours; the save dialog asks nothing when the file exists (the caller does).
class QtFileDialogs : public FileDialogBackend {
  public:
    std::optional<QString> Open(const QString &filter) override;
    std::optional<QString> Save(const QString &filter, const QString &proposed) override;
};

// A file-dialog component in the way the handlers use it: set FileName and
// Filter, show, read FileName back. A cancel raises nothing and leaves
// FileName as it was.
class CommonDialog {
  public:
    explicit CommonDialog(FileDialogBackend &backend) : backend_(backend) {}

    QString FileName;
    QString Filter; // "display|pattern", pairs separated by "|"

    void ShowOpen();
    void ShowSave();

    // "Text files|*.txt" in Qt's form: "Text files (*.txt)".
    static QString QtFilter(const QString &filter);

  private:
    FileDialogBackend &backend_;
};

} // namespace kovarim::app
