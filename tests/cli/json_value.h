#pragma once

// A strict reader of JSON for the tests of kovarim-cli --json: it refuses
// what RFC 8259 does not allow (doubled or trailing commas, bare control
// characters in strings, numbers like 01, .5 or nan), so that the output is
// held to the grammar, not only to its content. \u escapes are read for
// ASCII only, which is all the program writes with them.

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kovarim::testkit {

struct JsonValue {
    double number = 0.0;
    std::string string;
    std::vector<JsonValue> array;
    std::vector<std::pair<std::string, JsonValue>> object;

    const JsonValue &operator[](std::string_view key) const {
        for (const auto &[name, value] : object)
            if (name == key)
                return value;
        return None();
    }
    const JsonValue &operator[](std::size_t i) const {
        return i < array.size() ? array[i] : None();
    }
    static const JsonValue &None() {
        static const JsonValue none;
        return none;
    }
};

class JsonReader {
  public:
    static std::optional<JsonValue> Read(std::string_view text) {
        JsonReader reader(text);
        JsonValue value;
        if (!reader.Value(value) || (reader.Blanks(), reader.at_ != text.size()))
            return std::nullopt;
        return value;
    }

  private:
    explicit JsonReader(std::string_view text) : text_(text) {}

    void Blanks() {
        while (at_ < text_.size() &&
               std::string_view(" \t\n\r").find(text_[at_]) != std::string_view::npos)
            ++at_;
    }
    bool Next(char c) { // nothing skipped before it
        return at_ < text_.size() && text_[at_] == c ? (++at_, true) : false;
    }
    bool Take(char c) {
        Blanks();
        return Next(c);
    }
    bool Digits() {
        const std::size_t start = at_;
        while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9')
            ++at_;
        return at_ > start;
    }
    bool Number(double &value) {
        const std::size_t start = at_;
        Next('-');
        if ((!Next('0') && !Digits()) || (Next('.') && !Digits()))
            return false;
        if ((Next('e') || Next('E')) && !((Next('+') || Next('-') || true) && Digits()))
            return false;
        value = std::strtod(std::string(text_.substr(start, at_ - start)).c_str(), nullptr);
        return at_ > start;
    }
    bool String(std::string &value) {
        if (!Take('"'))
            return false;
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"')
                return true;
            if (static_cast<unsigned char>(c) < 0x20 || (c == '\\' && at_ == text_.size()))
                return false;
            if (c != '\\') {
                value += c;
                continue;
            }
            const char e = text_[at_++];
            const std::string_view simple = "\"\\/bfnrt", meaning = "\"\\/\b\f\n\r\t";
            if (simple.find(e) != std::string_view::npos) {
                value += meaning[simple.find(e)];
            } else if (e == 'u' && at_ + 4 <= text_.size() && text_.substr(at_, 2) == "00") {
                value +=
                    static_cast<char>(std::stoi(std::string(text_.substr(at_, 4)), nullptr, 16));
                at_ += 4;
            } else {
                return false;
            }
        }
        return false;
    }
    bool Value(JsonValue &value) {
        Blanks();
        if (Next('{')) {
            if (Take('}'))
                return true;
            do {
                auto &member = value.object.emplace_back();
                if (!String(member.first) || !Take(':') || !Value(member.second))
                    return false;
            } while (Take(','));
            return Take('}');
        }
        if (Next('[')) {
            if (Take(']'))
                return true;
            do {
                if (!Value(value.array.emplace_back()))
                    return false;
            } while (Take(','));
            return Take(']');
        }
        if (at_ < text_.size() && text_[at_] == '"')
            return String(value.string);
        for (std::string_view word : {"true", "false", "null"})
            if (text_.substr(at_, word.size()) == word) {
                at_ += word.size();
                return true;
            }
        return Number(value.number);
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

} // namespace kovarim::testkit
