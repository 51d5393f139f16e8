#include "conversion/parameter_file.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

#include "base/error.h"
#include "conversion/calibration_file.h"
#include "geodesy/proj_steps.h"
#include "textio/encoding.h"
#include "textio/number_text.h"
#include "textio/path_names.h"
#include "textio/platform.h"

namespace kovarim {
namespace {

constexpr std::array<const char *, 8> kKeys = {nullptr, "DX",   "DY",   "DZ",
                                               "Scale", "RotX", "RotY", "RotZ"};

// The shortest text that reads back to the same double.
std::string Exact(double value) {
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, ec == std::errc() ? end : buffer);
}

} // namespace

std::string ProjString(const Params &p) {
    constexpr double arcSecondsPerRadian = 648000.0 / 3.14159265358979323846;
    const double onePlusScale = 1.0 + p[Scale];
    return "+proj=helmert +convention=coordinate_frame +x=" + Exact(p[DX]) + " +y=" + Exact(p[DY]) +
           " +z=" + Exact(p[DZ]) + " +rx=" + Exact(p[RotX] / onePlusScale * arcSecondsPerRadian) +
           " +ry=" + Exact(p[RotY] / onePlusScale * arcSecondsPerRadian) +
           " +rz=" + Exact(p[RotZ] / onePlusScale * arcSecondsPerRadian) +
           " +s=" + Exact(p[Scale] * 1e6);
}

std::string ParameterFileText(const Params &params, const std::string &source,
                              const std::string &first, const std::string &second,
                              const std::string &third, const PointSystems &systems) {
    return ParameterFileText(params,
                             {"Kovarim seven parameters, estimated from " + source +
                              " with the triple " + first + "--" + second + "--" + third},
                             systems);
}

std::string ProjLine(const Params &params, const PointSystems &systems) {
    return ProjPipeline(systems.from, ProjString(params), systems.to);
}

std::string ParameterFileText(const Params &params, const std::vector<std::string> &comments,
                              const PointSystems &systems) {
    std::vector<std::string> lines = comments;
    if (!ProjReadsColumns(systems.from) || !ProjReadsColumns(systems.to))
        lines.push_back("proj: B and L in decimal degrees (PROJ reads no ddd.mmssss)");
    std::string text;
    for (const std::string &comment : lines) {
        text += "# ";
        for (char c : comment)
            text += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
        text += "\n";
    }
    if (!systems.Cartesian())
        text += "from = " + CoordinateSystemText(systems.from) +
                "\nto = " + CoordinateSystemText(systems.to) + "\n";
    for (int n = DX; n <= RotZ; ++n)
        text += std::string(kKeys[n]) + " = " + Exact(params[n]) + "\n";
    return text + "proj = " + ProjLine(params, systems) + "\n";
}

ParameterFile ReadParameters(const std::string &path) {
    return ReadParameters(ReadKeyValueFile(path));
}

ParameterFile ReadParameters(const KeyValueFile &kv) {
    const std::string &path = kv.path;
    std::array<std::optional<double>, 8> values;
    std::optional<std::pair<long long, std::string>> proj; // its line and value
    std::optional<CoordinateSystem> systems[2];            // from, to
    for (const KeyValueLine &line : kv.lines) {
        const std::string &key = line.key;
        const std::string &value = line.value;
        const std::string quotedKey = QuotedForMessage(ToUtf8(key, Encoding::Utf8));
        if (key == "proj") {
            if (proj)
                throw Error::AtLine(path, line.line, "键 “proj” 出现了两次");
            proj.emplace(line.line, value);
            continue;
        }
        if (key == "from" || key == "to") {
            std::optional<CoordinateSystem> &system = systems[key == "to"];
            if (system)
                throw Error::AtLine(path, line.line, "键" + quotedKey + " 出现了两次");
            try {
                system = ParseCoordinateSystem(value);
            } catch (const Error &e) {
                throw Error::AtLine(path, line.line, "键" + quotedKey + "：" + e.problem());
            }
            continue;
        }
        // A file of another kind is named as such, not by its first unknown key.
        if (key == "kind")
            throw Error::AtLine(path, line.line,
                                value == kCalibrationKind
                                    ? std::string("是场地校正（四参数）参数文件，不是七参数文件")
                                    : "参数文件的种类" +
                                          QuotedForMessage(ToUtf8(value, Encoding::Utf8)) +
                                          " 未知；七参数文件没有“kind”一行");
        int index = 0;
        for (int n = DX; n <= RotZ; ++n)
            if (key == kKeys[n])
                index = n;
        if (index == 0)
            throw Error::AtLine(path, line.line,
                                IsCalibrationKey(key)
                                    ? "键" + quotedKey + " 属于场地校正参数文件，不属于七参数文件"
                                    : "未知的键" + quotedKey);
        if (values[index])
            throw Error::AtLine(path, line.line, "键" + quotedKey + " 出现了两次");
        const ParsedNumber parsed = ParseFieldNumber(value);
        if (parsed.status != NumberParse::Ok || !std::isfinite(parsed.value))
            throw Error::AtLine(
                path, line.line,
                "键" + quotedKey + " 的值" + QuotedForMessage(ToUtf8(value, Encoding::Utf8)) +
                    (parsed.status == NumberParse::OutOfRange ? " 超出双精度数的范围"
                                                              : " 不是数值"));
        values[index] = parsed.value;
    }
    ParameterFile file;
    for (int n = DX; n <= RotZ; ++n) {
        if (!values[n])
            throw Error::InFile(path, std::string("缺少键 “") + kKeys[n] + "”");
        file.params[n] = *values[n];
    }
    // One system without the other would leave a side to be guessed.
    if (systems[0].has_value() != systems[1].has_value())
        throw Error::InFile(path, std::string("缺少键 “") + (systems[0] ? "to" : "from") +
                                      "”：原坐标系 from 与新坐标系 to 要一起给出");
    if (systems[0])
        file.systems = {*systems[0], *systems[1]};
    // The proj line is for other programs; one edited by hand would make them
    // and this program convert differently without a word.
    if (proj && proj->second != ProjLine(file.params, file.systems))
        throw Error::AtLine(path, proj->first,
                            file.systems.Cartesian() ? "proj 与七个参数不一致"
                                                     : "proj 与七个参数及坐标系 from、to 不一致");
    return file;
}

Params ReadParameterFile(const std::string &path) {
    const ParameterFile file = ReadParameters(path);
    if (!file.systems.Cartesian())
        throw Error::InFile(path, "参数文件是 " + CoordinateSystemText(file.systems.from) + " 到 " +
                                      CoordinateSystemText(file.systems.to) +
                                      " 的七参数，这里只能用地心直角坐标 xyz 到 xyz 的参数文件");
    return file.params;
}

} // namespace kovarim
