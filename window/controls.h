#pragma once

#include <array>

namespace kovarim::window {

// The window as both toolkits build it. Positions and sizes are in twips
// (1/1440 inch), from the top-left corner of the client area; nothing moves
// or resizes at run time.

inline constexpr const char *kAppTitle = "Kovarim1.0";

struct FormSpec {
    int left = 5400, top = 3915;     // the client area's corner on the screen
    int width = 6480, height = 4020; // the client area
};
inline constexpr FormSpec kForm{};

enum class ControlKind { Button, TextBox, Label, ProgressBar };

// The controls in the order of their tab positions.
enum class ControlId {
    Command1,
    Text1,
    Text2,
    Text3,
    Text4,
    Text6,
    Text7,
    Label1,
    Label2,
    Label3,
    Label4,
    Label5,
    Label6,
    Label7,
    Command2,
    Command3,
    Label8,
    ProgressBar1,
};
inline constexpr int kControlCount = static_cast<int>(ControlId::ProgressBar1) + 1;

struct ControlSpec {
    ControlId id;
    const char *name;
    ControlKind kind;
    const char *caption; // or a text box's initial text (UTF-8)
    int left, top, width, height;
    bool enabled; // at start; every control is visible at start but the bar
    bool visible;
    const char *accessibleName, *description; // for screen readers; may be null
};

inline constexpr std::array<ControlSpec, kControlCount> kControls = {{
    {ControlId::Command1, "Command1", ControlKind::Button, "计算公共点参数", 600, 2400, 3015, 735,
     true, true, "计算公共点参数", "选择公共点文件，计算七参数并写出精度评估报告"},
    {ControlId::Text1, "Text1", ControlKind::TextBox, "", 1200, 1680, 1422, 375, true, true,
     "新坐标系 X", "单点转换的结果"},
    {ControlId::Text2, "Text2", ControlKind::TextBox, "", 3000, 1680, 1422, 375, true, true,
     "新坐标系 Y", "单点转换的结果"},
    {ControlId::Text3, "Text3", ControlKind::TextBox, "2860321.78", 1200, 1080, 1422, 375, true,
     true, "原坐标系 X", "要转换的点"},
    {ControlId::Text4, "Text4", ControlKind::TextBox, "592341.79", 3000, 1080, 1422, 375, true,
     true, "原坐标系 Y", "要转换的点"},
    {ControlId::Text6, "Text6", ControlKind::TextBox, "0", 4800, 1080, 1066, 375, true, true,
     "原坐标系 Z", "要转换的点"},
    {ControlId::Text7, "Text7", ControlKind::TextBox, "", 4800, 1680, 1066, 375, true, true,
     "新坐标系 Z", "单点转换的结果"},
    {ControlId::Label1, "Label1", ControlKind::Label, "原坐标系", 120, 1200, 855, 375, true, true,
     nullptr, nullptr},
    {ControlId::Label2, "Label2", ControlKind::Label, "新坐标系", 120, 1800, 735, 255, true, true,
     nullptr, nullptr},
    {ControlId::Label3, "Label3", ControlKind::Label, "X", 1320, 720, 855, 255, true, true, nullptr,
     nullptr},
    {ControlId::Label4, "Label4", ControlKind::Label, "Y", 3120, 720, 735, 375, true, true, nullptr,
     nullptr},
    {ControlId::Label5, "Label5", ControlKind::Label, "Z", 5160, 720, 735, 375, true, true, nullptr,
     nullptr},
    {ControlId::Label6, "Label6", ControlKind::Label, "公共点号,x1,y1,z1,x2,y2,z2至少三个点", 480,
     3360, 3255, 375, true, true, nullptr, nullptr},
    {ControlId::Label7, "Label7", ControlKind::Label, "Kovarim", 1800, 240, 3375, 495, true, true,
     nullptr, nullptr},
    {ControlId::Command2, "Command2", ControlKind::Button, "批量转换", 4920, 2880, 1335, 495, false,
     true, "批量转换", "用七参数转换一个点文件（点号,x1,y1,z1）"},
    {ControlId::Command3, "Command3", ControlKind::Button, "单点转换", 4920, 2160, 1335, 495, false,
     true, "单点转换", "用七参数把原坐标系的点转换到新坐标系"},
    {ControlId::Label8, "Label8", ControlKind::Label, "点号,x1,y1,z1", 4920, 3480, 1575, 255, true,
     true, nullptr, nullptr},
    {ControlId::ProgressBar1, "ProgressBar1", ControlKind::ProgressBar, "", 120, 3720, 6255, 255,
     true, false, "计算进度", nullptr},
}};

inline constexpr const ControlSpec &Spec(ControlId id) { return kControls[static_cast<int>(id)]; }

// Label7's own font; every other control uses the window's default font.
struct FontSpec {
    const char *face; // "宋体" is SimSun
    int points;
    int weight; // 400: regular
    bool italic;
    int charset; // 134: GB2312
};
inline constexpr FontSpec kLabel7Font{"宋体", 15, 400, false, 134};

// The progress bar's range before an estimation first sets it.
inline constexpr int kBarMin = 0, kBarMax = 100;

// Twips to pixels at `dpi` dots per inch, to the nearest pixel (halves up).
constexpr int Pixels(int twips, int dpi) { return (2 * twips * dpi + 1440) / 2880; }

} // namespace kovarim::window
