#include <QApplication>

#include "app/common_dialog.h"
#include "app/form1.h"
#include "app/message_boxes.h"

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kovarim"));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));
    // The installed desktop entry and icon go by this id.
    QApplication::setDesktopFileName(QStringLiteral("io.github.kovarim.Kovarim"));
    // No display name: Qt would append it to every other window's title, and
    // a message box must show exactly the caption it is given.

    kovarim::app::QtFileDialogs dialogs;
    kovarim::app::QtMessageBoxes boxes;
    kovarim::app::Form1 form(dialogs, boxes);
    form.show();
    form.setWindowTitle(kovarim::app::kAppTitle);
    return app.exec();
}
