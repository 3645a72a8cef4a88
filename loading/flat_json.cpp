#include "loading/flat_json.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "loading/utf8.h"

namespace lumivane {

namespace {

class Reader {
  public:
    explicit Reader(const std::string& text) : s_(text) {}

    std::optional<FlatJsonObject> Object() {
        FlatJsonObject members;
        SkipSpace();
        if (!Take('{')) return std::nullopt;
        SkipSpace();
        if (!Take('}')) {
            for (;;) {
                SkipSpace();
                std::optional<std::string> key = String();
                SkipSpace();
                if (!key || !Take(':')) return std::nullopt;
                SkipSpace();
                std::optional<FlatJsonValue> value = Value();
                if (!value || !members.emplace(std::move(*key), std::move(*value)).second)
                    return std::nullopt;  // bad value or a key given twice
                SkipSpace();
                if (Take('}')) break;
                if (!Take(',')) return std::nullopt;
            }
        }
        SkipSpace();
        if (pos_ != s_.size()) return std::nullopt;
        return members;
    }

  private:
    bool Take(char c) {
        if (pos_ < s_.size() && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool TakeWord(const char* word) {
        const std::size_t n = std::char_traits<char>::length(word);
        if (s_.compare(pos_, n, word) != 0) return false;
        pos_ += n;
        return true;
    }
    void SkipSpace() {
        while (pos_ < s_.size() &&
               (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r'))
            ++pos_;
    }

    std::optional<FlatJsonValue> Value() {
        if (pos_ >= s_.size()) return std::nullopt;
        const char c = s_[pos_];
        if (c == '"') {
            std::optional<std::string> text = String();
            if (!text) return std::nullopt;
            return JsonString(std::move(*text));
        }
        if (TakeWord("true")) return JsonBool(true);
        if (TakeWord("false")) return JsonBool(false);
        if (TakeWord("null")) return JsonNull();
        return Number();
    }

    std::optional<FlatJsonValue> Number() {
        // The JSON grammar, checked by hand: from_chars alone would accept "inf" and "1." forms.
        const std::size_t start = pos_;
        Take('-');
        if (Take('0')) {
        } else if (!Digits()) {
            return std::nullopt;
        }
        if (Take('.') && !Digits()) return std::nullopt;
        if (Take('e') || Take('E')) {
            if (!Take('+')) Take('-');
            if (!Digits()) return std::nullopt;
        }
        long double v = 0;
        const auto [end, ec] = std::from_chars(s_.data() + start, s_.data() + pos_, v);
        if (ec != std::errc() || end != s_.data() + pos_ || !std::isfinite(v)) return std::nullopt;
        return JsonNumber(v);
    }
    bool Digits() {
        const std::size_t start = pos_;
        while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') ++pos_;
        return pos_ > start;
    }

    std::optional<std::string> String() {
        if (!Take('"')) return std::nullopt;
        std::string out;
        while (pos_ < s_.size()) {
            const unsigned char c = static_cast<unsigned char>(s_[pos_++]);
            if (c == '"') return out;
            if (c < 0x20) return std::nullopt;
            if (c != '\\') {
                out += char(c);
                continue;
            }
            if (pos_ >= s_.size()) return std::nullopt;
            const char e = s_[pos_++];
            switch (e) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    std::optional<std::uint32_t> cp = Hex4();
                    if (!cp) return std::nullopt;
                    if (*cp >= 0xD800 && *cp < 0xDC00) {  // a surrogate pair
                        if (!TakeWord("\\u")) return std::nullopt;
                        std::optional<std::uint32_t> low = Hex4();
                        if (!low || *low < 0xDC00 || *low >= 0xE000) return std::nullopt;
                        cp = 0x10000 + ((*cp - 0xD800) << 10) + (*low - 0xDC00);
                    } else if (*cp >= 0xDC00 && *cp < 0xE000) {
                        return std::nullopt;
                    }
                    if (*cp == 0) return std::nullopt;  // no NUL inside a file name
                    AppendUtf8(out, *cp);
                    break;
                }
                default:
                    return std::nullopt;
            }
        }
        return std::nullopt;
    }
    std::optional<std::uint32_t> Hex4() {
        if (pos_ + 4 > s_.size()) return std::nullopt;
        std::uint32_t v = 0;
        const auto [end, ec] = std::from_chars(s_.data() + pos_, s_.data() + pos_ + 4, v, 16);
        if (ec != std::errc() || end != s_.data() + pos_ + 4) return std::nullopt;
        pos_ += 4;
        return v;
    }

    const std::string& s_;
    std::size_t pos_ = 0;
};

void AppendString(std::string& out, const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    out += '"';
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;  // UTF-8 passes through as it is
        }
    }
    out += '"';
}

void AppendNumber(std::string& out, long double v) {
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    out.append(buffer, ec == std::errc() ? end : buffer);
}

}  // namespace

std::optional<FlatJsonObject> ParseFlatJson(const std::string& text) {
    return Reader(text).Object();
}

std::string WriteFlatJson(const std::vector<std::pair<std::string, FlatJsonValue>>& members) {
    std::string out = "{\n";
    for (std::size_t i = 0; i < members.size(); ++i) {
        const auto& [key, value] = members[i];
        out += "  ";
        AppendString(out, key);
        out += ": ";
        switch (value.kind) {
            case FlatJsonValue::Kind::String:
                AppendString(out, value.text);
                break;
            case FlatJsonValue::Kind::Number:
                AppendNumber(out, value.number);
                break;
            case FlatJsonValue::Kind::Bool:
                out += value.flag ? "true" : "false";
                break;
            case FlatJsonValue::Kind::Null:
                out += "null";
                break;
        }
        out += i + 1 < members.size() ? ",\n" : "\n";
    }
    out += "}\n";
    return out;
}

FlatJsonValue JsonString(std::string text) {
    FlatJsonValue v;
    v.kind = FlatJsonValue::Kind::String;
    v.text = std::move(text);
    return v;
}

FlatJsonValue JsonNumber(long double number) {
    FlatJsonValue v;
    v.kind = FlatJsonValue::Kind::Number;
    v.number = number;
    return v;
}

FlatJsonValue JsonBool(bool flag) {
    FlatJsonValue v;
    v.kind = FlatJsonValue::Kind::Bool;
    v.flag = flag;
    return v;
}

FlatJsonValue JsonNull() {
    return FlatJsonValue{};
}

}  // namespace lumivane
