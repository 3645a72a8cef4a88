// Captions from a photo's own facts: a pattern of plain text and fields in braces, filled from
// the photo's EXIF, XMP and IPTC.
//
// A pattern:
//   {Kamera}             a named field (CaptionFieldNames lists them)
//   {Datum:%d. %B %Y}    a date or time with a format: %d %e %m %Y %y %B %b %A %a %H %M %S %j %%
//                        (German month and day names); without one {Datum} gives 17.05.2024 and
//                        {Uhrzeit} 18:03
//   {Exif.Photo.WhiteBalance}, {Xmp.dc.subject}, {Iptc.Application2.City}
//                        any key Exiv2 knows, as it prints the value for people
//   [{Objektiv} · ]      an optional part: vanishes with its text when a field in it is empty
//   {{ }} [[ ]]          a brace or bracket as text
// Values are German: "ƒ/2,8", "1/250 s", "0,3 s", "+0,7 EV", "50 mm", "ISO 200". Text from the
// photo is cleaned: control characters, direction overrides and invalid UTF-8 are left out and a
// value is cut at 1000 characters.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/imagelib/photo_metadata.h"

namespace lumivane {

struct CaptionFactsData;

// What a photo says, parsed once, for filling any number of patterns (cheap to copy).
class CaptionFacts {
  public:
    CaptionFacts();  // a photo without facts: every field empty, {Datei} empty
    static CaptionFacts Of(const PhotoMetadata& metadata, std::string_view fileName);

    // The value of a named field ("Kamera") or an Exiv2 key; "" when the photo does not say.
    // Dates and times take `format` ("" for the usual one).
    std::string Value(std::string_view field, std::string_view format = {}) const;

  private:
    friend std::vector<std::pair<std::string, std::string>> CaptionFieldValues(
        const CaptionFacts& facts);
    std::shared_ptr<const CaptionFactsData> data_;
};

// "" when the pattern is good; otherwise a German message naming the unknown field or the
// unclosed brace or bracket.
std::string CheckCaptionPattern(std::string_view pattern);
// The same for line `line` of a caption: "Zeile 2: Unbekanntes Feld ...".
std::string CheckCaptionPattern(std::string_view pattern, int line);

// The pattern's text for this photo ("" when nothing is left). A pattern that fails the check
// gives "".
std::string FillCaptionPattern(std::string_view pattern, const CaptionFacts& facts);

// Every field with its value for this photo, for --list-fields and the window's field list:
// the named fields first (in a fixed order), then every Exiv2 key present.
std::vector<std::pair<std::string, std::string>> CaptionFieldValues(const CaptionFacts& facts);

// The named fields, e.g. "Kamera", "Objektiv", ... (for the window's list of fields to insert).
const std::vector<std::string>& CaptionFieldNames();

// Text from a photo made safe to draw: invalid UTF-8, control characters and direction
// overrides left out, white space collapsed and trimmed, at most `maxChars` characters.
std::string CleanCaptionText(std::string_view text, std::size_t maxChars = 1000);

}  // namespace lumivane
