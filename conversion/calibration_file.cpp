#include "conversion/calibration_file.h"

#include <array>
#include <charconv>
#include <cmath>

#include "base/error.h"
#include "geodesy/proj_steps.h"
#include "textio/encoding.h"
#include "textio/number_text.h"

namespace kovarim {
namespace {

// The shortest text that reads back to the same double.
std::string Exact(double value) {
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, ec == std::errc() ? end : buffer);
}

constexpr const char *kCoefficients[6] = {"c0", "c1", "c2", "c3", "c4", "c5"};
// The seven parameters' keys, by which their file is known.
constexpr const char *kSevenKeys[7] = {"DX", "DY", "DZ", "Scale", "RotX", "RotY", "RotZ"};
constexpr const char *kCalibrationKeys[] = {"kind",  "from",     "via",    "to", "dx", "dy",
                                            "scale", "rotation", "height", "X0", "Y0", "c0",
                                            "c1",    "c2",       "c3",     "c4", "c5", "proj"};

constexpr const char *kSwap = " +step +proj=axisswap +order=2,1";

bool HasSurface(const HeightSurface &s) { return CoefficientCount(s.model) > 0; }

// The source's columns to PROJ's easting and northing on the source plane.
std::string ToSourcePlane(const CalibrationSource &source) {
    if (!source.via())
        return kSwap; // x, y: northing first
    return std::string(kSwap) + " +step +proj=unitconvert +xy_in=deg +xy_out=rad +step " +
           ProjProjection(*source.via());
}

// X = dx + a·x − b·y, Y = dy + b·x + a·y with x north is, easting first,
// E' = dy + m·(cos α·E + sin α·N), N' = dx + m·(−sin α·E + cos α·N): PROJ's
// two-dimensional helmert with +x = dy, +y = dx, +s = m (a factor there,
// not ppm) and +theta = α in arc-seconds.
std::string Helmert(const PlaneParams &p) {
    return "+proj=helmert +x=" + Exact(p.dy) + " +y=" + Exact(p.dx) +
           " +s=" + Exact(1.0 + p.scale) + " +theta=" + Exact(ToArcSeconds(p.rotation));
}

// h = H − ζ(X, Y) for a constant or a plane, as PROJ's affine on the height,
// after the axes are back in the order x north, y east:
// h = (−c0 + c1·X0/1000 + c2·Y0/1000) − c1/1000·X − c2/1000·Y + H.
std::string HeightStep(const HeightSurface &s) {
    switch (s.model) {
    case HeightModel::Constant:
        return " +step +proj=affine +zoff=" + Exact(-s.c[0]);
    case HeightModel::Plane: {
        const double u = kHeightSurfaceUnit;
        const double zoff = -s.c[0] + s.c[1] * (s.originX / u) + s.c[2] * (s.originY / u);
        return " +step +proj=affine +zoff=" + Exact(zoff) + " +s31=" + Exact(-s.c[1] / u) +
               " +s32=" + Exact(-s.c[2] / u);
    }
    default:
        return {};
    }
}

[[noreturn]] void Refuse(const KeyValueFile &file, const KeyValueLine *line,
                         const std::string &problem) {
    if (line != nullptr)
        throw Error::AtLine(file.path, line->line, problem);
    throw Error::InFile(file.path, problem);
}

std::string Quoted(const std::string &text) {
    return QuotedForMessage(ToUtf8(text, Encoding::Utf8));
}

} // namespace

std::string CalibrationProjPlan(const CalibrationFile &file) {
    return "+proj=pipeline" + ToSourcePlane(file.source) + " +step " + Helmert(file.params.plane) +
           kSwap;
}

std::optional<std::string> CalibrationProjLine(const CalibrationFile &file) {
    if (file.params.height.model == HeightModel::Quadratic)
        return std::nullopt;
    return CalibrationProjPlan(file) + HeightStep(file.params.height);
}

std::string CalibrationFileText(const CalibrationFile &file,
                                const std::vector<std::string> &comments) {
    CheckCalibrationParams(file.params);
    const CalibrationParams &p = file.params;
    std::vector<std::string> lines = comments;
    const std::optional<std::string> proj = CalibrationProjLine(file);
    if (file.source.system() && file.source.system()->dms())
        lines.push_back("proj: B and L in decimal degrees (PROJ reads no ddd.mmssss)");
    if (!proj) {
        lines.push_back("PROJ has no quadratic height surface, so there is no proj line; "
                        "the plan alone, heights unchanged:");
        lines.push_back(CalibrationProjPlan(file));
    }
    std::string text;
    for (const std::string &comment : lines) {
        text += "# ";
        for (char c : comment)
            text += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
        text += "\n";
    }
    text += std::string("kind = ") + kCalibrationKind + "\n";
    text += "from = " + file.source.FromText() + "\n";
    if (file.source.via())
        text += "via = " + file.source.ViaText() + "\n";
    text += std::string("to = ") + kLocalPlane + "\n";
    text += "dx = " + Exact(p.plane.dx) + "\ndy = " + Exact(p.plane.dy) +
            "\nscale = " + Exact(p.plane.scale) + "\nrotation = " + Exact(p.plane.rotation) + "\n";
    text += std::string("height = ") + HeightModelName(p.height.model) + "\n";
    if (HasSurface(p.height)) {
        text += "X0 = " + Exact(p.height.originX) + "\nY0 = " + Exact(p.height.originY) + "\n";
        for (int k = 0; k < CoefficientCount(p.height.model); ++k)
            text += std::string(kCoefficients[k]) + " = " + Exact(p.height.c[k]) + "\n";
    }
    if (proj)
        text += "proj = " + *proj + "\n";
    return text;
}

bool IsCalibrationKey(const std::string &key) {
    // proj, from and to belong to both kinds.
    for (const char *own : kCalibrationKeys)
        if (key == own && key != "proj" && key != "from" && key != "to")
            return true;
    return false;
}

bool IsCalibrationFile(const KeyValueFile &file) {
    const KeyValueLine *kind = file.Find("kind");
    return kind != nullptr && kind->value == kCalibrationKind;
}

CalibrationFile ReadCalibrationFile(const std::string &path) {
    return ReadCalibrationFile(ReadKeyValueFile(path));
}

CalibrationFile ReadCalibrationFile(const KeyValueFile &file) {
    // The kind first: a file of another kind would otherwise be refused for
    // its first unknown key, which says nothing of what went wrong.
    const KeyValueLine *kind = file.Find("kind");
    if (kind == nullptr) {
        for (const char *key : kSevenKeys)
            if (file.Find(key) != nullptr)
                Refuse(file, nullptr,
                       "是七参数文件，不是场地校正（四参数）文件；场地校正参数由 "
                       "kovarim-cli calibrate --params 写出");
        Refuse(file, nullptr,
               std::string("不是场地校正参数文件：缺少“kind = ") + kCalibrationKind + "”");
    }
    if (kind->value != kCalibrationKind)
        Refuse(file, kind,
               "参数文件的种类" + Quoted(kind->value) + " 未知，应为“" + kCalibrationKind + "”");

    // Every key once, and only the keys of this kind.
    for (std::size_t i = 0; i < file.lines.size(); ++i) {
        const KeyValueLine &line = file.lines[i];
        bool isKnown = false;
        for (const char *key : kCalibrationKeys)
            isKnown = isKnown || line.key == key;
        if (!isKnown) {
            for (const char *key : kSevenKeys)
                if (line.key == key)
                    Refuse(file, &line,
                           "键" + Quoted(line.key) + " 属于七参数文件，不属于场地校正参数文件");
            Refuse(file, &line, "未知的键" + Quoted(line.key));
        }
        for (std::size_t j = 0; j < i; ++j)
            if (file.lines[j].key == line.key)
                Refuse(file, &line, "键" + Quoted(line.key) + " 出现了两次");
    }
    const auto required = [&](const char *key) -> const KeyValueLine & {
        const KeyValueLine *line = file.Find(key);
        if (line == nullptr)
            Refuse(file, nullptr, std::string("缺少键 “") + key + "”");
        return *line;
    };
    const auto number = [&](const char *key) {
        const KeyValueLine &line = required(key);
        const ParsedNumber parsed = ParseFieldNumber(line.value);
        if (parsed.status != NumberParse::Ok || !std::isfinite(parsed.value))
            Refuse(file, &line,
                   "键" + Quoted(line.key) + " 的值" + Quoted(line.value) +
                       (parsed.status == NumberParse::OutOfRange ? " 超出双精度数的范围"
                                                                 : " 不是数值"));
        return parsed.value;
    };

    CalibrationFile result;
    const KeyValueLine &from = required("from");
    const KeyValueLine *via = file.Find("via");
    try {
        result.source = ParseCalibrationSource(
            from.value, via != nullptr ? std::optional<std::string>(via->value) : std::nullopt);
    } catch (const Error &e) {
        const bool ofVia = e.field() == 2;
        Refuse(file, ofVia && via != nullptr ? via : &from,
               std::string("键 “") + (ofVia ? "via" : "from") + "” 有误：" + e.problem());
    }
    const KeyValueLine &to = required("to");
    if (to.value != kLocalPlane)
        Refuse(file, &to,
               "局部坐标系" + Quoted(to.value) + " 无法读取，场地校正的目标只能是 " + kLocalPlane);

    PlaneParams &plane = result.params.plane;
    plane.dx = number("dx");
    plane.dy = number("dy");
    plane.scale = number("scale");
    plane.rotation = number("rotation");
    if (!(1.0 + plane.scale > 0.0))
        Refuse(file, file.Find("scale"),
               "尺度因子 m = 1 + scale 不是正数（scale = " + Exact(plane.scale) + "），无法转换");

    const KeyValueLine &height = required("height");
    HeightSurface &surface = result.params.height;
    bool modelKnown = false;
    for (HeightModel model :
         {HeightModel::None, HeightModel::Constant, HeightModel::Plane, HeightModel::Quadratic})
        if (height.value == HeightModelName(model)) {
            surface.model = model;
            modelKnown = true;
        }
    if (!modelKnown)
        Refuse(file, &height,
               "高程拟合模型" + Quoted(height.value) +
                   " 未知，应为 none、constant、plane 或 quadratic");
    const int count = CoefficientCount(surface.model);
    for (const char *key : {"X0", "Y0"})
        if (count == 0 && file.Find(key) != nullptr)
            Refuse(file, file.Find(key),
                   std::string("键 “") + key + "” 不属于不拟合高程（height = none）的文件");
    for (int k = count; k < 6; ++k)
        if (const KeyValueLine *extra = file.Find(kCoefficients[k]))
            Refuse(file, extra,
                   std::string("键 “") + kCoefficients[k] + "” 不属于高程拟合模型 " +
                       HeightModelName(surface.model) + "（它有 " + std::to_string(count) +
                       " 个系数）");
    if (count > 0) {
        surface.originX = number("X0");
        surface.originY = number("Y0");
        for (int k = 0; k < count; ++k)
            surface.c[k] = number(kCoefficients[k]);
    }
    try {
        CheckCalibrationParams(result.params);
    } catch (const Error &e) {
        Refuse(file, nullptr, e.problem());
    }

    // The proj line is for other programs; one edited by hand would make
    // them and this program convert differently without a word.
    const std::optional<std::string> proj = CalibrationProjLine(result);
    if (const KeyValueLine *line = file.Find("proj")) {
        if (!proj)
            Refuse(file, line, "PROJ 没有二次曲面的高程拟合，二次曲面的参数文件不应有 proj 行");
        if (line->value != *proj)
            Refuse(file, line, "proj 与场地校正参数不一致");
    }
    return result;
}

} // namespace kovarim
