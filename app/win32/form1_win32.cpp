#include "app/win32/form1_win32.h"

#include <commctrl.h>

#include <climits>

namespace kovarim::win32 {
namespace {

constexpr wchar_t kClassName[] = L"KovarimForm1";
constexpr UINT kRunPosted = WM_APP + 1; // work posted from another thread waits
constexpr UINT_PTR kProgressTimer = 1;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

int ControlIndex(window::ControlId id) { return static_cast<int>(id); }

class Button : public window::Button {
  public:
    explicit Button(HWND control) : control_(control) {}
    void SetEnabled(bool enabled) override { EnableWindow(control_, enabled); }

  private:
    HWND control_;
};

class TextBox : public window::TextBox {
  public:
    explicit TextBox(HWND control) : control_(control) {}
    std::string Text() const override {
        std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control_)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(
            GetWindowTextW(control_, text.data(), static_cast<int>(text.size()))));
        return Utf8(text);
    }
    void SetText(const std::string &text) override { SetWindowTextW(control_, Wide(text).c_str()); }

  private:
    HWND control_;
};

class ProgressBar : public window::ProgressBar {
  public:
    explicit ProgressBar(HWND control) : control_(control) {}
    void SetEnabled(bool enabled) override { EnableWindow(control_, enabled); }
    void SetVisible(bool visible) override { ShowWindow(control_, visible ? SW_SHOW : SW_HIDE); }
    void SetMin(int min) override {
        min_ = min;
        SendMessageW(control_, PBM_SETRANGE32, static_cast<WPARAM>(min_), max_);
    }
    void SetMax(int max) override {
        max_ = max;
        SendMessageW(control_, PBM_SETRANGE32, static_cast<WPARAM>(min_), max_);
    }
    void SetValue(int value) override {
        SendMessageW(control_, PBM_SETPOS, static_cast<WPARAM>(value), 0);
    }

  private:
    HWND control_;
    int min_ = window::kBarMin, max_ = window::kBarMax;
};

const wchar_t *ClassOf(window::ControlKind kind) {
    switch (kind) {
    case window::ControlKind::Button:
        return L"BUTTON";
    case window::ControlKind::TextBox:
        return L"EDIT";
    case window::ControlKind::Label:
        return L"STATIC";
    case window::ControlKind::ProgressBar:
        return PROGRESS_CLASSW;
    }
    return L"STATIC";
}

DWORD StyleOf(const window::ControlSpec &spec) {
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (spec.visible ? WS_VISIBLE : 0) |
                  (spec.enabled ? 0 : WS_DISABLED);
    switch (spec.kind) {
    case window::ControlKind::Button:
        return style | WS_TABSTOP | BS_PUSHBUTTON;
    case window::ControlKind::TextBox:
        return style | WS_TABSTOP | WS_BORDER | ES_LEFT | ES_AUTOHSCROLL;
    case window::ControlKind::Label:
        return style | SS_LEFT | SS_NOPREFIX;
    case window::ControlKind::ProgressBar:
        return style;
    }
    return style;
}

// What a user does to the controls, dropped while an estimation runs: keys
// and clicks. The frame's own input stays, so that the title bar moves the
// window, its buttons minimise and close it, and Alt+F4 and the system menu
// (Alt+Space) work: system keys and clicks outside the client area.
bool IsControlInput(UINT message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR ||
           message == WM_DEADCHAR || message == WM_UNICHAR ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

} // namespace

struct Form1Window::Seams {
    Button command2, command3;
    TextBox text1, text2, text3, text4, text6, text7;
    ProgressBar bar;
};

Form1Window::Form1Window() = default;

Form1Window::~Form1Window() {
    logic_.reset();
    if (defaultFont_ != nullptr)
        DeleteObject(defaultFont_);
    if (titleFont_ != nullptr)
        DeleteObject(titleFont_);
}

bool Form1Window::Create(HINSTANCE instance, int show) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    if (RegisterClassExW(&windowClass) == 0)
        return false;
    window_ = CreateWindowExW(0, kClassName, Wide(window::kAppTitle).c_str(), kStyle, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                              instance, this);
    if (window_ == nullptr)
        return false;

    // The controls in tab order: Windows tabs in the order of creation.
    for (const window::ControlSpec &spec : window::kControls) {
        const std::wstring caption = Wide(spec.caption);
        controls_[ControlIndex(spec.id)] = CreateWindowExW(
            0, ClassOf(spec.kind), caption.c_str(), StyleOf(spec), 0, 0, 0, 0, window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlIndex(spec.id) + 100)), instance,
            nullptr);
    }
    // Labels lie beneath the other controls, as they do on a form: where a
    // label's box reaches into a text box, the text box is drawn whole.
    for (const window::ControlSpec &spec : window::kControls)
        if (spec.kind == window::ControlKind::Label)
            SetWindowPos(controls_[ControlIndex(spec.id)], HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    HWND bar = controls_[ControlIndex(window::ControlId::ProgressBar1)];
    SendMessageW(bar, PBM_SETRANGE32, window::kBarMin, window::kBarMax);
    SendMessageW(bar, PBM_SETPOS, window::kBarMin, 0);
    Layout(GetDpiForWindow(window_), nullptr);

    auto control = [this](window::ControlId id) { return controls_[ControlIndex(id)]; };
    using window::ControlId;
    seams_.reset(new Seams{Button(control(ControlId::Command2)),
                           Button(control(ControlId::Command3)), TextBox(control(ControlId::Text1)),
                           TextBox(control(ControlId::Text2)), TextBox(control(ControlId::Text3)),
                           TextBox(control(ControlId::Text4)), TextBox(control(ControlId::Text6)),
                           TextBox(control(ControlId::Text7)), ProgressBar(bar)});
    dialogs_ = std::make_unique<CommonDialogs>(window_);
    boxes_ = std::make_unique<MessageBoxes>(window_);
    logic_ = std::make_unique<window::Form1>(window::Controls{
        seams_->command2, seams_->command3, seams_->text1, seams_->text2, seams_->text3,
        seams_->text4, seams_->text6, seams_->text7, seams_->bar, *dialogs_, *boxes_, *this});

    ShowWindow(window_, show);
    UpdateWindow(window_);
    SetFocus(control(ControlId::Command1));
    return true;
}

// Places the window and every control at the monitor's DPI: twips times
// DPI / 1440. The client area's corner stands where the layout puts it.
void Form1Window::Layout(UINT dpi, const RECT *suggested) {
    const int d = static_cast<int>(dpi);
    RECT frame{0, 0, window::Pixels(window::kForm.width, d),
               window::Pixels(window::kForm.height, d)};
    AdjustWindowRectExForDpi(&frame, kStyle, FALSE, 0, dpi);
    // At first where the layout puts the client area; after a move to a
    // monitor of another DPI, where Windows suggests.
    const int left =
        suggested != nullptr ? suggested->left : window::Pixels(window::kForm.left, d) + frame.left;
    const int top =
        suggested != nullptr ? suggested->top : window::Pixels(window::kForm.top, d) + frame.top;
    SetWindowPos(window_, nullptr, left, top, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    // The window's default font: the system's message font at this DPI;
    // Label7 its own.
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi);
    if (defaultFont_ != nullptr)
        DeleteObject(defaultFont_);
    defaultFont_ = CreateFontIndirectW(&metrics.lfMessageFont);
    if (titleFont_ != nullptr)
        DeleteObject(titleFont_);
    const window::FontSpec &title = window::kLabel7Font;
    titleFont_ =
        CreateFontW(-MulDiv(title.points, d, 72), 0, 0, 0, title.weight, title.italic, FALSE, FALSE,
                    static_cast<DWORD>(title.charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                    DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, Wide(title.face).c_str());

    for (const window::ControlSpec &spec : window::kControls) {
        HWND control = controls_[ControlIndex(spec.id)];
        SetWindowPos(control, nullptr, window::Pixels(spec.left, d), window::Pixels(spec.top, d),
                     window::Pixels(spec.width, d), window::Pixels(spec.height, d),
                     SWP_NOZORDER | SWP_NOACTIVATE);
        const HFONT font = spec.id == window::ControlId::Label7 ? titleFont_ : defaultFont_;
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
}

int Form1Window::Run() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        KeepFocus();
        if (DropWhileBlocked(message))
            continue;
        // Tab and the arrow keys move between the controls; Space, or Return
        // on a focused button, presses it.
        if (IsDialogMessageW(window_, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

bool Form1Window::DropWhileBlocked(const MSG &message) {
    if (!inputBlocked_ || !IsControlInput(message.message))
        return false;
    if (message.hwnd != window_ && !IsChild(window_, message.hwnd))
        return false;
    if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE)
        logic_->Escape();
    return true;
}

// The control that has the focus, to give it back when the window is
// active again: a dialog or a message box disables the window, which takes
// the focus from its controls before the window hears it is inactive.
void Form1Window::KeepFocus() {
    const HWND focus = GetFocus();
    if (focus != nullptr && IsChild(window_, focus))
        focused_ = focus;
}

// As a dialog box does: the control that had the focus has it again, or
// else the first one in the tab order (计算公共点参数).
void Form1Window::RestoreFocus() {
    if (focused_ == nullptr || !IsChild(window_, focused_) || !IsWindowEnabled(focused_) ||
        !IsWindowVisible(focused_))
        focused_ = GetNextDlgTabItem(window_, nullptr, FALSE);
    if (focused_ != nullptr)
        SetFocus(focused_);
}

void Form1Window::Post(std::function<void()> work) {
    {
        std::lock_guard lock(postedMutex_);
        posted_.push_back(std::move(work));
    }
    PostMessageW(window_, kRunPosted, 0, 0);
}

void Form1Window::StartTimer(int milliseconds, std::function<void()> tick) {
    tick_ = std::move(tick);
    SetTimer(window_, kProgressTimer, static_cast<UINT>(milliseconds), nullptr);
}

void Form1Window::StopTimer() { KillTimer(window_, kProgressTimer); }

void Form1Window::BlockInput(bool blocked) { inputBlocked_ = blocked; }

LRESULT CALLBACK Form1Window::Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        auto *self =
            static_cast<Form1Window *>(reinterpret_cast<CREATESTRUCTW *>(l)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto *self = reinterpret_cast<Form1Window *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self != nullptr ? self->Handle(message, w, l) : DefWindowProcW(window, message, w, l);
}

LRESULT Form1Window::Handle(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(w) == BN_CLICKED && logic_) {
            const auto id = static_cast<window::ControlId>(LOWORD(w) - 100);
            if (id == window::ControlId::Command1)
                logic_->Command1_Click();
            else if (id == window::ControlId::Command2)
                logic_->Command2_Click();
            else if (id == window::ControlId::Command3)
                logic_->Command3_Click();
        }
        return 0;
    case kRunPosted: {
        std::vector<std::function<void()>> work;
        {
            std::lock_guard lock(postedMutex_);
            work.swap(posted_);
        }
        for (auto &w : work)
            w();
        return 0;
    }
    case WM_TIMER:
        if (w == kProgressTimer && tick_)
            tick_();
        return 0;
    case WM_ACTIVATE:
        // Another window takes over (a dialog, a message box, another
        // program): what has the focus is kept for when this one is back.
        if (LOWORD(w) == WA_INACTIVE)
            KeepFocus();
        return DefWindowProcW(window_, message, w, l); // focuses the window: WM_SETFOCUS
    case WM_SETFOCUS:
        RestoreFocus();
        return 0;
    case WM_DPICHANGED:
        Layout(HIWORD(w), reinterpret_cast<const RECT *>(l));
        return 0;
    case WM_CLOSE:
        // Closing stops an estimation in progress; nothing is asked or saved.
        if (logic_)
            logic_->Closing();
        DestroyWindow(window_);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window_, message, w, l);
    }
}

} // namespace kovarim::win32
