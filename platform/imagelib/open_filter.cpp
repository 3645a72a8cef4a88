// GetDIBOpenFilter: the open dialog's filter, built from the reader table.
#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "platform/imagelib/codecs/decoder.h"
#include "platform/imagelib/imagelib.h"

namespace {

std::vector<std::string> SplitPatterns(const char* patterns) {
    std::vector<std::string> out;
    std::istringstream in(patterns);
    for (std::string p; in >> p;) out.push_back(p);
    return out;
}

std::string BuildFilter() {
    std::vector<std::string> all;
    std::string entries;
    for (const lumivane::Decoder& decoder : lumivane::Decoders()) {
        for (const std::string& p : SplitPatterns(decoder.patterns)) {
            if (std::find(all.begin(), all.end(), p) == all.end()) all.push_back(p);
        }
        entries += std::string(";;") + decoder.name + " (" + decoder.patterns + ")";
    }
    std::string allPatterns;
    for (const std::string& p : all) allPatterns += (allPatterns.empty() ? "" : " ") + p;
    // Formats are recognised by content, so any file may be tried.
    return "Alle Bilddateien (" + allPatterns + ")" + entries + ";;Alle Dateien (*)";
}

}  // namespace

const char* GetDIBOpenFilter() {
    static const std::string filter = BuildFilter();
    return filter.c_str();
}
