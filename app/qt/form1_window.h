#pragma once

#include <array>
#include <memory>

#include <QWidget>

#include "window/controls.h"
#include "window/form1.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace kovarim::qt {

// The window in Qt: its widgets built from the control table, the seams the
// window logic talks to, and nothing else. Every behaviour is the logic's
// (window::Form1).
class Form1Window : public QWidget, private window::WindowThread {
    Q_OBJECT

  public:
    Form1Window(window::FileDialogs &dialogs, window::MessageBoxes &boxes,
                QWidget *parent = nullptr);
    ~Form1Window() override;

    window::Form1 &logic() { return *logic_; }
    const Params &params() const { return logic_->params(); }
    bool Estimating() const { return logic_->Estimating(); }

    QPushButton *Command1, *Command2, *Command3;
    QLineEdit *Text1, *Text2, *Text3, *Text4, *Text6, *Text7;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7, *Label8;
    QProgressBar *ProgressBar1;

  signals:
    void estimationFinished(); // the command of Command1 has ended, whatever the outcome

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

  private:
    struct Seams;

    // window::WindowThread
    void Post(std::function<void()> work) override;
    void StartTimer(int milliseconds, std::function<void()> tick) override;
    void StopTimer() override;
    void BlockInput(bool blocked) override;

    std::array<QWidget *, window::kControlCount> controls_{};
    QTimer *timer_;
    std::function<void()> tick_;
    bool inputBlocked_ = false;
    std::unique_ptr<Seams> seams_;
    std::unique_ptr<window::Form1> logic_;
};

} // namespace kovarim::qt
