#include "conversion/parameter_file.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

#include "base/error.h"
#include "conversion/calibration_file.h"
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

std::string Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
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
                              const std::string &third) {
    return ParameterFileText(params, {"Kovarim seven parameters, estimated from " + source +
                                      " with the triple " + first + "--" + second + "--" + third});
}

std::string ParameterFileText(const Params &params, const std::vector<std::string> &comments) {
    std::string text;
    for (const std::string &comment : comments) {
        text += "# ";
        for (char c : comment)
            text += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
        text += "\n";
    }
    for (int n = DX; n <= RotZ; ++n)
        text += std::string(kKeys[n]) + " = " + Exact(params[n]) + "\n";
    return text + "proj = " + ProjString(params) + "\n";
}

namespace {

// The whole of a small file; a parameter file is a dozen lines.
std::string ReadSmallFile(const std::string &path) {
    constexpr std::size_t kLimit = 64 * 1024;
    if (path.empty())
        throw Error("参数文件名为空");
    RefuseDeviceName(path);
    if (platform::KindOf(path) == platform::Kind::Folder)
        throw Error::InFile(path, "是文件夹，不是文件");
    std::string reason;
    std::FILE *file = platform::OpenForReading(path, reason);
    if (file == nullptr)
        throw Error::InFile(path, "无法打开文件（" + reason + "）");
    std::string text(kLimit + 1, '\0');
    const std::size_t size = std::fread(text.data(), 1, text.size(), file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        throw Error::InFile(path, "读取文件失败");
    if (size > kLimit)
        throw Error::InFile(path, "文件过大，不是参数文件");
    text.resize(size);
    return text;
}

} // namespace

Params ReadParameterFile(const std::string &path) {
    const std::string text = ReadSmallFile(path);
    if (const char *unicode = UnreadableUnicode(text))
        throw Error::InFile(path, UnreadableUnicodeMessage(unicode));
    std::array<std::optional<double>, 8> values;
    std::optional<std::pair<long long, std::string>> proj; // its line and value
    long long number = 0;
    for (std::size_t start = 0; start < text.size(); ++number) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (number == 0 && line.compare(0, kUtf8Mark.size(), kUtf8Mark) == 0)
            line.erase(0, kUtf8Mark.size());
        const std::string content = Trimmed(line);
        if (content.empty() || content[0] == '#')
            continue;
        const auto equals = content.find('=');
        if (equals == std::string::npos)
            throw Error::AtLine(path, number + 1, "应为“键 = 值”");
        const std::string key = Trimmed(std::string_view(content).substr(0, equals));
        const std::string value = Trimmed(std::string_view(content).substr(equals + 1));
        const std::string quotedKey = QuotedForMessage(ToUtf8(key, Encoding::Utf8));
        if (key == "proj") {
            if (proj)
                throw Error::AtLine(path, number + 1, "键 “proj” 出现了两次");
            proj.emplace(number + 1, value);
            continue;
        }
        // A file of another kind is named as such, not by its first unknown key.
        if (key == "kind")
            throw Error::AtLine(path, number + 1,
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
            throw Error::AtLine(path, number + 1, "未知的键" + quotedKey);
        if (values[index])
            throw Error::AtLine(path, number + 1, "键" + quotedKey + " 出现了两次");
        const ParsedNumber parsed = ParseFieldNumber(value);
        if (parsed.status != NumberParse::Ok || !std::isfinite(parsed.value))
            throw Error::AtLine(
                path, number + 1,
                "键" + quotedKey + " 的值" + QuotedForMessage(ToUtf8(value, Encoding::Utf8)) +
                    (parsed.status == NumberParse::OutOfRange ? " 超出双精度数的范围"
                                                              : " 不是数值"));
        values[index] = parsed.value;
    }
    Params params{};
    for (int n = DX; n <= RotZ; ++n) {
        if (!values[n])
            throw Error::InFile(path, std::string("缺少键 “") + kKeys[n] + "”");
        params[n] = *values[n];
    }
    // The proj line is for other programs; one edited by hand would make them
    // and this program convert differently without a word.
    if (proj && proj->second != ProjString(params))
        throw Error::AtLine(path, proj->first, "proj 与七个参数不一致");
    return params;
}

} // namespace kovarim
