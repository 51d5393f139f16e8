#include "app/form1.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <new>
#include <optional>
#include <thread>
#include <variant>

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "base/error.h"
#include "conversion/batch_conversion.h"
#include "conversion/single_point.h"
#include "estimation/estimate.h"

namespace kovarim::app {
namespace {

// The layout is given in twips; 15 twips make a pixel at 96 dots per inch.
int Px(int twips) { return (2 * twips + 15) / 30; }

// One control of the window, in the order of its tab position. The member it
// fills tells its kind.
struct Control {
    std::variant<QPushButton **, QLineEdit **, QLabel **, QProgressBar **> member;
    const char *name;
    const char *caption; // or the initial text
    int left, top, width, height;
    const char *accessibleName, *description; // for screen readers; may be left out
};

QWidget *Create(QPushButton **member, const Control &c, QWidget *parent) {
    auto *button = *member = new QPushButton(QString::fromUtf8(c.caption), parent);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QWidget *Create(QLineEdit **member, const Control &c, QWidget *parent) {
    auto *box = *member = new QLineEdit(QString::fromUtf8(c.caption), parent);
    box->setMaxLength(INT_MAX);
    return box;
}

QWidget *Create(QLabel **member, const Control &c, QWidget *parent) {
    auto *label = *member = new QLabel(QString::fromUtf8(c.caption), parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QWidget *Create(QProgressBar **member, const Control &, QWidget *parent) {
    auto *bar = *member = new QProgressBar(parent);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setFocusPolicy(Qt::NoFocus);
    bar->setVisible(false);
    return bar;
}

std::string LocalName(const QString &name) { return QFile::encodeName(name).toStdString(); }

// What a user does to the window's controls; dropped while an estimation runs.
bool IsInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::DragEnter:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

} // namespace

// The estimation in progress: its thread and what the window reads of it.
struct Form1::Running {
    std::thread worker;
    std::atomic<long long> done{0};   // triples tried
    std::atomic<long long> total{-1}; // triples in all, once counted
    std::atomic<bool> stop{false};    // Esc, or the window closes
};

// How the estimation ended, handed from its thread to the window's.
struct Form1::Outcome {
    std::optional<Estimation> estimation; // complete, not yet in place
    QString failure;
    bool stopped = false;
};

Form1::Form1(FileDialogBackend &dialogs, MessageBoxes &boxes, QWidget *parent)
    : QWidget(parent), CommonDialog1(dialogs), CommonDialog2(dialogs), boxes_(boxes) {
    setObjectName(QStringLiteral("Form1"));
    // The client area: 6480 × 4020 twips, its top-left corner at (5400, 3915).
    setGeometry(Px(5400), Px(3915), Px(6480), Px(4020));
    setFixedSize(Px(6480), Px(4020));

    const Control controls[] = {
        {&Command1, "Command1", "计算公共点参数", 600, 2400, 3015, 735, "计算公共点参数",
         "选择公共点文件，计算七参数并写出精度评估报告"},
        {&Text1, "Text1", "", 1200, 1680, 1422, 375, "新坐标系 X", "单点转换的结果"},
        {&Text2, "Text2", "", 3000, 1680, 1422, 375, "新坐标系 Y", "单点转换的结果"},
        {&Text3, "Text3", "2860321.78", 1200, 1080, 1422, 375, "原坐标系 X", "要转换的点"},
        {&Text4, "Text4", "592341.79", 3000, 1080, 1422, 375, "原坐标系 Y", "要转换的点"},
        {&Text6, "Text6", "0", 4800, 1080, 1066, 375, "原坐标系 Z", "要转换的点"},
        {&Text7, "Text7", "", 4800, 1680, 1066, 375, "新坐标系 Z", "单点转换的结果"},
        {&Label1, "Label1", "原坐标系", 120, 1200, 855, 375, nullptr, nullptr},
        {&Label2, "Label2", "新坐标系", 120, 1800, 735, 255, nullptr, nullptr},
        {&Label3, "Label3", "X", 1320, 720, 855, 255, nullptr, nullptr},
        {&Label4, "Label4", "Y", 3120, 720, 735, 375, nullptr, nullptr},
        {&Label5, "Label5", "Z", 5160, 720, 735, 375, nullptr, nullptr},
        {&Label6, "Label6", "公共点号,x1,y1,z1,x2,y2,z2至少三个点", 480, 3360, 3255, 375, nullptr,
         nullptr},
        {&Label7, "Label7", "Kovarim", 1800, 240, 3375, 495, nullptr, nullptr},
        {&Command2, "Command2", "批量转换", 4920, 2880, 1335, 495, "批量转换",
         "用七参数转换一个点文件（点号,x1,y1,z1）"},
        {&Command3, "Command3", "单点转换", 4920, 2160, 1335, 495, "单点转换",
         "用七参数把原坐标系的点转换到新坐标系"},
        {&Label8, "Label8", "点号,x1,y1,z1", 4920, 3480, 1575, 255, nullptr, nullptr},
        {&ProgressBar1, "ProgressBar1", "", 120, 3720, 6255, 255, "计算进度", nullptr},
    };
    QWidget *previous = nullptr;
    for (const Control &c : controls) {
        QWidget *w = std::visit([&](auto member) { return Create(member, c, this); }, c.member);
        w->setObjectName(QLatin1String(c.name));
        w->setGeometry(Px(c.left), Px(c.top), Px(c.width), Px(c.height));
        if (c.accessibleName != nullptr)
            w->setAccessibleName(QString::fromUtf8(c.accessibleName));
        if (c.description != nullptr)
            w->setAccessibleDescription(QString::fromUtf8(c.description));
        if (w->focusPolicy() != Qt::NoFocus) {
            if (previous != nullptr)
                setTabOrder(previous, w);
            previous = w;
        }
    }
    Command2->setEnabled(false);
    Command3->setEnabled(false);
    Command1->setFocus();

    // The title in a Song-style face; where SimSun is missing, a CJK serif and
    // then any CJK face, so that it never shows boxes.
    QFont title;
    title.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                       QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")});
    title.setPointSize(15);
    title.setWeight(QFont::Normal);
    title.setItalic(false);
    Label7->setFont(title);

    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(33); // about 30 times a second
    connect(progressTimer_, &QTimer::timeout, this, &Form1::ShowProgress);

    for (QPushButton *button : {Command1, Command2, Command3})
        button->installEventFilter(this);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
}

Form1::~Form1() { StopEstimation(); }

// Return or Enter on a focused button presses it, as Space does; no button is
// a default button that Return would press from elsewhere. While an estimation
// runs (the filter is then on the whole application), input to the window is
// dropped, and Esc stops the estimation.
bool Form1::eventFilter(QObject *watched, QEvent *event) {
    auto *widget = qobject_cast<QWidget *>(watched);
    if (running_ && widget != nullptr && (widget == this || isAncestorOf(widget)) &&
        IsInput(event->type())) {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
            running_->stop = true;
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        auto *button = qobject_cast<QPushButton *>(watched);
        if (button != nullptr && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            button->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// Runs a command; a failure it does not handle itself is shown, and false
// comes back.
template <class Command> bool Form1::Guarded(Command command) {
    try {
        command();
        return true;
    } catch (const Error &e) {
        boxes_.Ok(QString::fromUtf8(e.what()), kAppTitle);
    } catch (const std::bad_alloc &) {
        boxes_.Ok(QStringLiteral("内存不足，命令已中止"), kAppTitle);
    } catch (const std::exception &e) {
        boxes_.Ok(QStringLiteral("命令已中止：") + QString::fromLocal8Bit(e.what()), kAppTitle);
    }
    return false;
}

void Form1::SetProgressRange(long long tripleCount) {
    // The bar's range is an int; beyond it, every position stands for
    // progressScale_ triples.
    const long long max = tripleCount + 1;
    progressScale_ = max / INT_MAX + 1;
    ProgressBar1->setMaximum(static_cast<int>(max / progressScale_));
}

// The bar shows the ordinal of the triple being tried: 1 to the count.
void Form1::ShowProgress() {
    if (!running_ || running_->total < 1)
        return; // not counted yet, or nothing to count
    const long long ordinal = std::clamp(running_->done.load() + 1, 1LL, running_->total.load());
    ProgressBar1->setValue(static_cast<int>(ordinal / progressScale_));
}

void Form1::Command1_Click() {
    if (running_)
        return;
    ProgressBar1->setEnabled(true);
    ProgressBar1->setVisible(true);
    ProgressBar1->setMinimum(1);

    CommonDialog1.FileName = QString();
    CommonDialog1.Filter = QStringLiteral("Text files|*.txt");
    CommonDialog1.ShowOpen();
    const QString chosen = CommonDialog1.FileName;
    if (chosen.isEmpty())
        return;

    // The core calls its hooks on the estimation's thread; each is handed to
    // the window's thread in the order it came.
    running_ = std::make_unique<Running>();
    Running *run = running_.get();
    auto post = [this](auto call) { QMetaObject::invokeMethod(this, call, Qt::QueuedConnection); };
    run->worker = std::thread([this, run, post, path = LocalName(chosen)] {
        auto outcome = std::make_shared<Outcome>();
        try {
            EstimationHooks hooks;
            hooks.progress.started = [this, run, post](long long count) {
                run->total = count;
                post([this, count] { SetProgressRange(count); });
            };
            hooks.progress.done = &run->done;
            hooks.progress.stop = &run->stop;
            hooks.searchDone = [this, post] {
                post([this] {
                    ShowProgress();
                    ProgressBar1->setVisible(false);
                });
            };
            outcome->estimation = Estimate(path, hooks);
        } catch (const SearchStopped &) {
            outcome->stopped = true;
        } catch (const Error &e) {
            outcome->failure = QString::fromUtf8(e.what());
        } catch (const std::bad_alloc &) {
            outcome->failure = QStringLiteral("内存不足，命令已中止");
        } catch (const std::exception &e) {
            outcome->failure = QStringLiteral("命令已中止：") + QString::fromLocal8Bit(e.what());
        }
        post([this, outcome] { FinishEstimation(*outcome); });
    });
    qApp->installEventFilter(this);
    progressTimer_->start();
}

void Form1::FinishEstimation(Outcome &outcome) {
    if (!running_)
        return; // the window closed meanwhile: the outcome goes, unused
    // Esc after the search still counts: nothing is put in place.
    const bool stopped = EndRun() || outcome.stopped;
    ProgressBar1->setVisible(false); // a finished estimation is not in progress

    if (stopped) {
        // Esc: nothing to say, nothing to keep.
    } else if (!outcome.failure.isEmpty()) {
        boxes_.Ok(outcome.failure, kAppTitle);
    } else {
        // All or nothing: the parameters and the buttons change only once the
        // whole report has replaced the old one.
        const bool placed = Guarded([&] { outcome.estimation->Commit(); });
        if (placed) {
            params_ = outcome.estimation->params();
            Command2->setEnabled(true);
            Command3->setEnabled(true);
        }
    }
    outcome.estimation.reset(); // an unfinished report goes with it
    emit estimationFinished();
}

// Stops an estimation in progress and waits for its thread, which leaves
// nothing behind once stopped.
void Form1::StopEstimation() {
    if (!running_)
        return;
    running_->stop = true;
    EndRun();
}

// Waits for the estimation's thread and gives the window its input back;
// true when the estimation was asked to stop.
bool Form1::EndRun() {
    running_->worker.join();
    const bool stopped = running_->stop;
    progressTimer_->stop();
    qApp->removeEventFilter(this);
    running_.reset();
    return stopped;
}

void Form1::closeEvent(QCloseEvent *event) {
    StopEstimation();
    event->accept();
}

void Form1::Command2_Click() {
    CommonDialog2.FileName = QString();
    CommonDialog2.Filter = QStringLiteral("Text files|*.txt");
    CommonDialog2.ShowOpen();
    const std::string input = LocalName(CommonDialog2.FileName);

    const auto proposed = ProposedOutputName(input);
    if (!proposed)
        return; // a cancelled open dialog leaves an empty name

    CommonDialog1.Filter = QStringLiteral("明码文件(*.txt)|*.txt");
    CommonDialog1.FileName = QFile::decodeName(QByteArray::fromStdString(*proposed));
    // CommonDialog1 serves as the save dialog here, as the layout has it.
    CommonDialog1.ShowSave(); // a cancel keeps the proposed name
    const std::string output = LocalName(CommonDialog1.FileName);

    Guarded([&] {
        ConvertFile(input, output, params_, [this] {
            return boxes_.OkCancel(QStringLiteral("文件已经存在,要替换它吗?"),
                                   QStringLiteral("另存为"));
        });
    });
}

void Form1::Command3_Click() {
    Guarded([&] {
        QLineEdit *outputs[] = {Text1, Text2, Text7};
        ConvertSinglePoint(params_, Text3->text().toStdString(), Text4->text().toStdString(),
                           Text6->text().toStdString(), [&](Axis axis, const std::string &text) {
                               outputs[static_cast<int>(axis)]->setText(
                                   QString::fromStdString(text));
                           });
    });
}

} // namespace kovarim::app
