// libFuzzer entry for the template file's JSON reader. Whatever it accepts must survive being
// written and read again unchanged, so the writer and the reader agree on every file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "loading/flat_json.h"

namespace {

bool Same(const lumivane::FlatJsonValue& a, const lumivane::FlatJsonValue& b) {
    return a.kind == b.kind && a.text == b.text && a.number == b.number && a.flag == b.flag;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto object = lumivane::ParseFlatJson(text);
    if (!object) return 0;
    std::vector<std::pair<std::string, lumivane::FlatJsonValue>> members(object->begin(),
                                                                          object->end());
    const auto again = lumivane::ParseFlatJson(lumivane::WriteFlatJson(members));
    if (!again || again->size() != object->size()) std::abort();
    for (const auto& [key, value] : *object) {
        const auto it = again->find(key);
        if (it == again->end() || !Same(it->second, value)) std::abort();
    }
    return 0;
}
