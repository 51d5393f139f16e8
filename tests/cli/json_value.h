#pragma once

// A strict reader of JSON text for the tests of kovarim-cli --json: it
// refuses anything RFC 8259 does not allow (trailing or doubled commas, bare
// control characters in strings, numbers like 01, .5 or nan), so that what
// the program prints is held to the grammar, not only to its content.

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kovarim::testkit {

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0.0;
    std::string string;
    std::vector<JsonValue> array;
    std::vector<std::pair<std::string, JsonValue>> object;

    // The member `key`, or a null value when there is none.
    const JsonValue &operator[](std::string_view key) const {
        static const JsonValue none;
        for (const auto &[name, value] : object)
            if (name == key)
                return value;
        return none;
    }
    const JsonValue &operator[](std::size_t index) const {
        static const JsonValue none;
        return index < array.size() ? array[index] : none;
    }
};

class JsonReader {
  public:
    // The one value `text` holds, or nothing when it is not JSON.
    static std::optional<JsonValue> Read(std::string_view text) {
        JsonReader reader(text);
        JsonValue value;
        if (!reader.Value(value))
            return std::nullopt;
        reader.Blanks();
        if (reader.at_ != text.size())
            return std::nullopt;
        return value;
    }

  private:
    explicit JsonReader(std::string_view text) : text_(text) {}

    void Blanks() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' ||
                                      text_[at_] == '\n' || text_[at_] == '\r'))
            ++at_;
    }
    bool Take(char c) {
        Blanks();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    // The next character, with nothing skipped before it.
    bool Next(char c) {
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    bool Word(std::string_view word) {
        if (text_.substr(at_, word.size()) != word)
            return false;
        at_ += word.size();
        return true;
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
        if (!Next('0') && !Digits())
            return false;
        if (Next('.') && !Digits())
            return false;
        if (Next('e') || Next('E')) {
            if (!Next('+'))
                Next('-');
            if (!Digits())
                return false;
        }
        value = std::strtod(std::string(text_.substr(start, at_ - start)).c_str(), nullptr);
        return true;
    }
    bool String(std::string &value) {
        if (!Take('"'))
            return false;
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"')
                return true;
            if (static_cast<unsigned char>(c) < 0x20)
                return false;
            if (c != '\\') {
                value += c;
                continue;
            }
            if (at_ >= text_.size())
                return false;
            const char e = text_[at_++];
            const std::string_view simple = "\"\\/bfnrt", meaning = "\"\\/\b\f\n\r\t";
            if (const auto k = simple.find(e); k != std::string_view::npos) {
                value += meaning[k];
            } else if (e == 'u' && at_ + 4 <= text_.size()) {
                const unsigned code = std::stoul(std::string(text_.substr(at_, 4)), nullptr, 16);
                at_ += 4;
                if (code < 0x80) {
                    value += static_cast<char>(code);
                } else if (code < 0x800) {
                    value += static_cast<char>(0xC0 | code >> 6);
                    value += static_cast<char>(0x80 | (code & 0x3F));
                } else {
                    value += static_cast<char>(0xE0 | code >> 12);
                    value += static_cast<char>(0x80 | (code >> 6 & 0x3F));
                    value += static_cast<char>(0x80 | (code & 0x3F));
                }
            } else {
                return false;
            }
        }
        return false;
    }
    bool Value(JsonValue &value) {
        Blanks();
        if (at_ >= text_.size())
            return false;
        const char c = text_[at_];
        if (c == '{') {
            value.kind = JsonValue::Kind::Object;
            ++at_;
            if (Take('}'))
                return true;
            do {
                std::pair<std::string, JsonValue> member;
                if (!String(member.first) || !Take(':') || !Value(member.second))
                    return false;
                value.object.push_back(std::move(member));
            } while (Take(','));
            return Take('}');
        }
        if (c == '[') {
            value.kind = JsonValue::Kind::Array;
            ++at_;
            if (Take(']'))
                return true;
            do {
                value.array.emplace_back();
                if (!Value(value.array.back()))
                    return false;
            } while (Take(','));
            return Take(']');
        }
        if (c == '"') {
            value.kind = JsonValue::Kind::String;
            return String(value.string);
        }
        if (Word("true") || Word("false")) {
            value.kind = JsonValue::Kind::Bool;
            value.boolean = c == 't';
            return true;
        }
        if (Word("null"))
            return true;
        value.kind = JsonValue::Kind::Number;
        return Number(value.number);
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

} // namespace kovarim::testkit
