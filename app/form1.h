#pragma once

#include <memory>

#include <QWidget>

#include "app/common_dialog.h"
#include "app/message_boxes.h"
#include "model/seven_parameters.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace kovarim::app {

inline const QString kAppTitle = QStringLiteral("Kovarim1.0");

// The program's one window. It holds the seven parameters of the last
// estimation and wires the three buttons to the core; it computes nothing
// itself. Failures a command does not handle are caught at the click and
// shown; what the command had stored, shown or written stays.
//
// The estimation runs on a thread of its own, so the window keeps painting.
// Meanwhile the window takes no input (clicks and keys are dropped, not kept
// for later), but Esc, which stops the estimation, and closing, which stops
// it and ends the program. A stopped estimation changes nothing.
class Form1 : public QWidget {
    Q_OBJECT

  public:
    Form1(FileDialogBackend &dialogs, MessageBoxes &boxes, QWidget *parent = nullptr);
    ~Form1() override;

    const Params &params() const { return params_; }
    bool Estimating() const { return running_ != nullptr; }

    QPushButton *Command1; // 计算公共点参数: estimation
    QPushButton *Command2; // 批量转换: batch conversion
    QPushButton *Command3; // 单点转换: single-point conversion
    QLineEdit *Text1;      // X in the new system (output)
    QLineEdit *Text2;      // Y in the new system (output)
    QLineEdit *Text3;      // X in the original system (input)
    QLineEdit *Text4;      // Y in the original system (input)
    QLineEdit *Text6;      // Z in the original system (input)
    QLineEdit *Text7;      // Z in the new system (output)
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label4;
    QLabel *Label5;
    QLabel *Label6;
    QLabel *Label7;
    QLabel *Label8;
    QProgressBar *ProgressBar1;
    CommonDialog CommonDialog1;
    CommonDialog CommonDialog2;

  public slots:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

  signals:
    void estimationFinished(); // the command of Command1 has ended, whatever the outcome

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

  private:
    struct Running;
    struct Outcome;

    template <class Command> bool Guarded(Command command);
    void SetProgressRange(long long tripleCount);
    void ShowProgress();
    void FinishEstimation(Outcome &outcome);
    void StopEstimation();
    bool EndRun();

    MessageBoxes &boxes_;
    Params params_{};
    long long progressScale_ = 1;
    QTimer *progressTimer_;
    std::unique_ptr<Running> running_; // the estimation in progress, if any
};

} // namespace kovarim::app
