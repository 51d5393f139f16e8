#include "app/common_dialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QStringList>

namespace kovarim::app {

// Qt's own dialog, never the desktop's (GTK, portal): those report their
// answer to Qt only some time after they have left the screen, and all that
// time Qt counts the window as blocked by a modal dialog and drops a close
// request for it. A user who closes the window right after choosing a file
// would see nothing happen, and the estimation start after all.
constexpr QFileDialog::Options kOwnDialog = QFileDialog::DontUseNativeDialog;

std::optional<QString> QtFileDialogs::Open(const QString &filter) {
    QString name = QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(), QString(),
                                                filter, nullptr, kOwnDialog);
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

std::optional<QString> QtFileDialogs::Save(const QString &filter, const QString &proposed) {
    QString name = QFileDialog::getSaveFileName(QApplication::activeWindow(), QString(), proposed,
                                                filter, nullptr,
                                                kOwnDialog | QFileDialog::DontConfirmOverwrite);
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

void CommonDialog::ShowOpen() {
    if (auto chosen = backend_.Open(QtFilter(Filter)))
        FileName = *chosen;
}

void CommonDialog::ShowSave() {
    if (auto chosen = backend_.Save(QtFilter(Filter), FileName))
        FileName = *chosen;
}

QString CommonDialog::QtFilter(const QString &filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
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

} // namespace kovarim::app
