#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/qt/form1_window.h"
#include "app/qt/qt_seams.h"
#include "textio/platform.h"
#include "window/controls.h"

int main(int argc, char *argv[]) {
    kovarim::platform::WriteFailuresAsErrors();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kovarim"));
    QApplication::setApplicationVersion(QStringLiteral(KOVARIM_VERSION));
    // The installed desktop entry and icon go by this id.
    QApplication::setDesktopFileName(QStringLiteral("io.github.kovarim.Kovarim"));
    // Qt's own words (the file dialogs' buttons and titles) in the user's
    // language, where Qt has them (qt6-translations-l10n): 打开, 取消 on a
    // Chinese desktop.
    QTranslator qtWords;
    if (qtWords.load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtWords);
    // No display name: Qt would append it to every other window's title, and
    // a message box must show exactly the caption it is given.

    kovarim::qt::QtFileDialogs dialogs;
    kovarim::qt::QtMessageBoxes boxes;
    kovarim::qt::Form1Window form(dialogs, boxes);
    form.show();
    form.setWindowTitle(QString::fromUtf8(kovarim::window::kAppTitle));
    return app.exec();
}
