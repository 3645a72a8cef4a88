// The print format as people write it: paper names and sizes with a unit, borders in
// millimetres, and the German words around it (the paper's name, the low-resolution warning).
#pragma once

#include <optional>
#include <string>

#include "engine/print_format.h"

namespace lumivane {

// "10x15cm", "10 × 15 cm", "200x300mm", "5x7in", "8,5x11in", or a preset's name ("A4",
// "10 × 15 cm"), case and spaces aside. Sets the format's size and unit; nothing when the
// text is none of these or a side is 0 or longer than kMaxPaperUm.
bool ParsePaper(const std::string& text, PrintFormat& format);

// A length in millimetres ("5", "2.5", "2,5"), as whole micrometres; nothing for negative,
// malformed or absurd lengths.
std::optional<std::int64_t> ParseMillimetres(const std::string& text);

// The paper's name as the user gave it: a preset's name, else "13 × 18,5 cm".
std::string PaperName(const PrintFormat& format);

// A length in the format's unit, with a decimal comma and no trailing zeros: "18,5".
std::string LengthInUnit(std::int64_t micrometres, PaperUnit unit);
const char* UnitName(PaperUnit unit);  // "mm", "cm", "in"
// The unit UnitName names so, exactly; nothing for another word.
std::optional<PaperUnit> UnitNamed(const std::string& name);

// The paper's orientation as lumivane-render and templates write it: "hoch", "quer", "wie-foto".
const char* OrientationWord(PaperOrientation orientation);
// The orientation OrientationWord names so, exactly; nothing for another word.
std::optional<PaperOrientation> OrientationNamed(const std::string& word);
std::int64_t MicrometresPer(PaperUnit unit);

// Whether the borders leave a window on the paper in either orientation.
bool BordersFit(const PrintFormat& format);

// "Das Foto hat für 30 × 45 cm nur 112 dpi." when the motif, at the scale the fit chose, has
// less than kLowPrintDpi on the paper; "" otherwise.
std::string LowResolutionWarning(const PrintFormat& format, long double motifZoom);

}  // namespace lumivane
