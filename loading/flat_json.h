// A strict reader and writer for one flat JSON object whose values are strings, numbers,
// booleans or null: the shape of a framing template. Anything else (nesting, trailing text,
// duplicate keys, bad escapes) is refused, so a damaged file is never half understood.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lumivane {

struct FlatJsonValue {
    enum class Kind { String, Number, Bool, Null };
    Kind kind = Kind::Null;
    std::string text;      // String: the decoded UTF-8 text
    long double number{};  // Number
    bool flag = false;     // Bool
};

using FlatJsonObject = std::map<std::string, FlatJsonValue>;

// Empty when `text` is not exactly one flat object.
std::optional<FlatJsonObject> ParseFlatJson(const std::string& text);

// Writes the members in the order given, one per line.
std::string WriteFlatJson(const std::vector<std::pair<std::string, FlatJsonValue>>& members);

FlatJsonValue JsonString(std::string text);
FlatJsonValue JsonNumber(long double number);
FlatJsonValue JsonBool(bool flag);
FlatJsonValue JsonNull();

}  // namespace lumivane
