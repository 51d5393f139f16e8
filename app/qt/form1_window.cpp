#include "app/qt/form1_window.h"

#include <climits>

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace kovarim::qt {
namespace {

// Qt lays out at 96 dots per inch and scales for the screen itself.
int Px(int twips) { return window::Pixels(twips, 96); }

QWidget *Create(const window::ControlSpec &spec, QWidget *parent) {
    const QString caption = QString::fromUtf8(spec.caption);
    switch (spec.kind) {
    case window::ControlKind::Button: {
        auto *button = new QPushButton(caption, parent);
        button->setAutoDefault(false);
        button->setDefault(false);
        return button;
    }
    case window::ControlKind::TextBox: {
        auto *box = new QLineEdit(caption, parent);
        box->setMaxLength(INT_MAX);
        return box;
    }
    case window::ControlKind::Label: {
        auto *label = new QLabel(caption, parent);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case window::ControlKind::ProgressBar: {
        auto *bar = new QProgressBar(parent);
        bar->setRange(window::kBarMin, window::kBarMax);
        bar->setValue(window::kBarMin);
        bar->setTextVisible(false);
        bar->setFocusPolicy(Qt::NoFocus);
        return bar;
    }
    }
    return nullptr;
}

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

class Button : public window::Button {
  public:
    explicit Button(QPushButton *b) : b_(b) {}
    void SetEnabled(bool enabled) override { b_->setEnabled(enabled); }

  private:
    QPushButton *b_;
};

class TextBox : public window::TextBox {
  public:
    explicit TextBox(QLineEdit *e) : e_(e) {}
    std::string Text() const override { return e_->text().toStdString(); }
    void SetText(const std::string &text) override { e_->setText(QString::fromStdString(text)); }

  private:
    QLineEdit *e_;
};

class ProgressBar : public window::ProgressBar {
  public:
    explicit ProgressBar(QProgressBar *b) : b_(b) {}
    void SetEnabled(bool enabled) override { b_->setEnabled(enabled); }
    void SetVisible(bool visible) override { b_->setVisible(visible); }
    void SetMin(int min) override { b_->setMinimum(min); }
    void SetMax(int max) override { b_->setMaximum(max); }
    void SetValue(int value) override { b_->setValue(value); }

  private:
    QProgressBar *b_;
};

} // namespace

struct Form1Window::Seams {
    Button command2, command3;
    TextBox text1, text2, text3, text4, text6, text7;
    ProgressBar bar;
};

Form1Window::Form1Window(window::FileDialogs &dialogs, window::MessageBoxes &boxes, QWidget *parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("Form1"));
    setGeometry(Px(window::kForm.left), Px(window::kForm.top), Px(window::kForm.width),
                Px(window::kForm.height));
    setFixedSize(Px(window::kForm.width), Px(window::kForm.height));

    QWidget *previous = nullptr;
    for (const window::ControlSpec &spec : window::kControls) {
        QWidget *w = controls_[static_cast<int>(spec.id)] = Create(spec, this);
        w->setObjectName(QLatin1String(spec.name));
        w->setGeometry(Px(spec.left), Px(spec.top), Px(spec.width), Px(spec.height));
        w->setEnabled(spec.enabled);
        w->setVisible(spec.visible);
        if (spec.accessibleName != nullptr)
            w->setAccessibleName(QString::fromUtf8(spec.accessibleName));
        if (spec.description != nullptr)
            w->setAccessibleDescription(QString::fromUtf8(spec.description));
        if (w->focusPolicy() != Qt::NoFocus) {
            if (previous != nullptr)
                setTabOrder(previous, w);
            previous = w;
        }
    }
    auto get = [this](window::ControlId id) { return controls_[static_cast<int>(id)]; };
    using window::ControlId;
    Command1 = static_cast<QPushButton *>(get(ControlId::Command1));
    Command2 = static_cast<QPushButton *>(get(ControlId::Command2));
    Command3 = static_cast<QPushButton *>(get(ControlId::Command3));
    Text1 = static_cast<QLineEdit *>(get(ControlId::Text1));
    Text2 = static_cast<QLineEdit *>(get(ControlId::Text2));
    Text3 = static_cast<QLineEdit *>(get(ControlId::Text3));
    Text4 = static_cast<QLineEdit *>(get(ControlId::Text4));
    Text6 = static_cast<QLineEdit *>(get(ControlId::Text6));
    Text7 = static_cast<QLineEdit *>(get(ControlId::Text7));
    Label1 = static_cast<QLabel *>(get(ControlId::Label1));
    Label2 = static_cast<QLabel *>(get(ControlId::Label2));
    Label3 = static_cast<QLabel *>(get(ControlId::Label3));
    Label4 = static_cast<QLabel *>(get(ControlId::Label4));
    Label5 = static_cast<QLabel *>(get(ControlId::Label5));
    Label6 = static_cast<QLabel *>(get(ControlId::Label6));
    Label7 = static_cast<QLabel *>(get(ControlId::Label7));
    Label8 = static_cast<QLabel *>(get(ControlId::Label8));
    ProgressBar1 = static_cast<QProgressBar *>(get(ControlId::ProgressBar1));
    Command1->setFocus();

    // The title in a Song-style face; where SimSun is missing, a CJK serif and
    // then any CJK face, so that it never shows boxes.
    QFont title;
    title.setFamilies({QString::fromUtf8(window::kLabel7Font.face), QStringLiteral("SimSun"),
                       QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")});
    title.setPointSize(window::kLabel7Font.points);
    title.setWeight(QFont::Weight(window::kLabel7Font.weight));
    title.setItalic(window::kLabel7Font.italic);
    Label7->setFont(title);

    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] { tick_(); });

    seams_.reset(new Seams{Button(Command2), Button(Command3), TextBox(Text1), TextBox(Text2),
                           TextBox(Text3), TextBox(Text4), TextBox(Text6), TextBox(Text7),
                           ProgressBar(ProgressBar1)});
    logic_ = std::make_unique<window::Form1>(window::Controls{
        seams_->command2, seams_->command3, seams_->text1, seams_->text2, seams_->text3,
        seams_->text4, seams_->text6, seams_->text7, seams_->bar, dialogs, boxes, *this});
    logic_->estimationFinished = [this] { emit estimationFinished(); };

    for (QPushButton *button : {Command1, Command2, Command3})
        button->installEventFilter(this);
    connect(Command1, &QPushButton::clicked, this, [this] { logic_->Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { logic_->Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { logic_->Command3_Click(); });
}

Form1Window::~Form1Window() {
    logic_.reset(); // stops an estimation while the seams still stand
    BlockInput(false);
}

void Form1Window::Post(std::function<void()> work) {
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void Form1Window::StartTimer(int milliseconds, std::function<void()> tick) {
    tick_ = std::move(tick);
    timer_->start(milliseconds);
}

void Form1Window::StopTimer() { timer_->stop(); }

void Form1Window::BlockInput(bool blocked) {
    if (blocked == inputBlocked_)
        return;
    inputBlocked_ = blocked;
    if (blocked)
        qApp->installEventFilter(this);
    else
        qApp->removeEventFilter(this);
}

// Return or Enter on a focused button presses it, as Space does; no button is
// a default button that Return would press from elsewhere. While input is
// blocked (the filter is then on the whole application), input to the window
// is dropped, and Esc stops the estimation.
bool Form1Window::eventFilter(QObject *watched, QEvent *event) {
    auto *widget = qobject_cast<QWidget *>(watched);
    if (inputBlocked_ && widget != nullptr && (widget == this || isAncestorOf(widget)) &&
        IsInput(event->type())) {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
            logic_->Escape();
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

void Form1Window::closeEvent(QCloseEvent *event) {
    logic_->Closing();
    event->accept();
}

} // namespace kovarim::qt
