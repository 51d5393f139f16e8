#include "app/qt/qt_seams.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "window/controls.h"

namespace kovarim::qt {
namespace {

// Qt's own dialog, never the desktop's (GTK, portal): those report their
// answer to Qt only some time after they have left the screen, and all that
// time Qt counts the window as blocked by a modal dialog and drops a close
// request for it. A user who closes the window right after choosing a file
// would see nothing happen, and the estimation start after all.
constexpr QFileDialog::Options kOwnDialog = QFileDialog::DontUseNativeDialog;

std::optional<std::string> Chosen(const QString &name) {
    if (name.isEmpty())
        return std::nullopt;
    return name.toStdString();
}

int Show(const std::string &text, const QString &title, QMessageBox::StandardButtons buttons) {
    QMessageBox box(QMessageBox::NoIcon, title, QString::fromStdString(text), buttons,
                    QApplication::activeWindow());
    box.setDefaultButton(QMessageBox::Ok);
    // The program's own words: Qt without a translation would say OK and
    // Cancel beside the Chinese text that refers to 确定 and 取消.
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    if (QAbstractButton *cancel = box.button(QMessageBox::Cancel))
        cancel->setText(QStringLiteral("取消"));
    // OK before Cancel, whatever the desktop's habit.
    box.setStyleSheet(QStringLiteral("QDialogButtonBox { button-layout: 0; }"));
    return box.exec();
}

} // namespace

std::optional<std::string> QtFileDialogs::Open(const std::string &filter) {
    return Chosen(QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(), QString(),
                                               QtFilter(filter), nullptr, kOwnDialog));
}

std::optional<std::string> QtFileDialogs::Save(const std::string &filter,
                                               const std::string &proposed) {
    return Chosen(QFileDialog::getSaveFileName(
        QApplication::activeWindow(), QString(), QString::fromStdString(proposed), QtFilter(filter),
        nullptr, kOwnDialog | QFileDialog::DontConfirmOverwrite));
}

void QtMessageBoxes::Ok(const std::string &text) {
    Show(text, QString::fromUtf8(window::kAppTitle), QMessageBox::Ok);
}

bool QtMessageBoxes::OkCancel(const std::string &text, const std::string &caption) {
    return Show(text, QString::fromStdString(caption), QMessageBox::Ok | QMessageBox::Cancel) ==
           QMessageBox::Ok;
}

QString QtFilter(const std::string &filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString inParentheses = QLatin1Char('(') + patterns + QLatin1Char(')');
        // "明码文件(*.txt)" already names its pattern the way Qt reads it.
        entries << (parts[i].endsWith(inParentheses) ? parts[i]
                                                     : parts[i] + QLatin1Char(' ') + inParentheses);
    }
    return entries.join(QStringLiteral(";;"));
}

} // namespace kovarim::qt
