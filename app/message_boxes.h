#pragma once

#include <QString>

namespace kovarim::app {

// The program's modal message boxes, behind a seam so tests can answer them.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // A box with an OK button only.
    virtual void Ok(const QString &text, const QString &title) = 0;
    // OK and Cancel, OK first and default; true for OK.
    virtual bool OkCancel(const QString &text, const QString &title) = 0;
};

// Qt's message boxes, with no icon.
class QtMessageBoxes : public MessageBoxes {
  public:
    void Ok(const QString &text, const QString &title) override;
    bool OkCancel(const QString &text, const QString &title) override;
};

} // namespace kovarim::app
