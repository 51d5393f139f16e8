#include "app/message_boxes.h"

#include <QApplication>
#include <QMessageBox>

namespace kovarim::app {
namespace {

int Show(const QString &text, const QString &title, QMessageBox::StandardButtons buttons) {
    QMessageBox box(QMessageBox::NoIcon, title, text, buttons, QApplication::activeWindow());
    box.setDefaultButton(QMessageBox::Ok);
    // OK before Cancel, whatever the desktop's habit.
    box.setStyleSheet(QStringLiteral("QDialogButtonBox { button-layout: 0; }"));
    return box.exec();
}

} // namespace

void QtMessageBoxes::Ok(const QString &text, const QString &title) {
    Show(text, title, QMessageBox::Ok);
}

bool QtMessageBoxes::OkCancel(const QString &text, const QString &title) {
    return Show(text, title, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

} // namespace kovarim::app
