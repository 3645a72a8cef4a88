#include "platform/imagelib/maker_note.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/imagelib/exiv2_compat.h"

namespace lumivane {
namespace {

// The IFDs inside a maker note, walked only to blank preview images; every position is
// checked against the note, which may be damaged.
class NoteIfds {
  public:
    NoteIfds(std::vector<std::uint8_t>& note, std::size_t base, bool little)
        : note_(note), base_(base), little_(little) {}

    std::uint32_t Get(std::size_t at, std::size_t bytes) const {
        if (at > note_.size() || note_.size() - at < bytes) return 0;
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < bytes; ++i)
            v |= std::uint32_t(note_[at + i]) << (8 * (little_ ? i : bytes - 1 - i));
        return v;
    }

    // The position of the entry `tag` in the IFD at `ifd`.
    std::optional<std::size_t> Entry(std::optional<std::size_t> ifd, std::uint16_t tag) const {
        if (!ifd) return {};
        const std::size_t count = Get(*ifd, 2);
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t entry = *ifd + 2 + 12 * i;
            if (entry > note_.size() || note_.size() - entry < 12) return {};
            if (Get(entry, 2) == tag) return entry;
        }
        return {};
    }

    std::optional<std::size_t> SubIfd(std::optional<std::size_t> ifd, std::uint16_t tag) const {
        const auto entry = Entry(ifd, tag);
        if (!entry) return {};
        return base_ + Get(*entry + 8, 4);
    }

    // A preview given by a start and a length entry: its bytes zeroed, its length 0.
    void BlankStartAndLength(std::optional<std::size_t> ifd, std::uint16_t startTag,
                             std::uint16_t lengthTag) {
        const auto start = Entry(ifd, startTag), length = Entry(ifd, lengthTag);
        if (!start || !length) return;
        Zero(base_ + Get(*start + 8, 4), Get(*length + 8, 4));
        Zero(*length + 8, 4);
    }

    // A preview held as the entry's own bytes: zeroed, and the entry's count 0.
    void BlankEntryData(std::optional<std::size_t> ifd, std::uint16_t tag) {
        const auto entry = Entry(ifd, tag);
        if (!entry) return;
        const std::uint32_t count = Get(*entry + 4, 4);
        Zero(count > 4 ? base_ + Get(*entry + 8, 4) : *entry + 8, count);
        Zero(*entry + 4, 4);
    }

    void Zero(std::size_t at, std::size_t bytes) {
        if (at >= note_.size()) return;
        bytes = std::min(bytes, note_.size() - at);
        std::fill_n(note_.begin() + std::ptrdiff_t(at), bytes, std::uint8_t(0));
    }

  private:
    std::vector<std::uint8_t>& note_;
    std::size_t base_;
    bool little_;
};

bool StartsWith(const std::vector<std::uint8_t>& note, std::string_view signature) {
    return note.size() >= signature.size() &&
           std::equal(signature.begin(), signature.end(), note.begin(),
                      [](char a, std::uint8_t b) { return std::uint8_t(a) == b; });
}

// Whether the note's offsets count from the note itself (Exiv2 reads these notes wherever
// they lie), so that it can be kept as it is; its previews are blanked then.
bool BlankPreviewsOfMovableNote(std::vector<std::uint8_t>& note) {
    using namespace std::string_view_literals;
    if (StartsWith(note, "Nikon\0\x02"sv) && note.size() >= 18) {
        // A TIFF header of its own after 10 bytes; the preview is the sub-IFD of tag 0x0011.
        NoteIfds ifds(note, 10, note[10] == 'I');
        const std::size_t ifd0 = 10 + ifds.Get(14, 4);
        ifds.BlankStartAndLength(ifds.SubIfd(ifd0, 0x0011), 0x0201, 0x0202);
        return true;
    }
    const bool olympus = StartsWith(note, "OLYMPUS\0"sv);
    if ((olympus || StartsWith(note, "OM SYSTEM\0"sv)) && note.size() >= 16) {
        const std::size_t ifd0 = olympus ? 12 : 16;
        NoteIfds ifds(note, 0, note[ifd0 - 4] == 'I');
        ifds.BlankEntryData(ifd0, 0x0100);  // ThumbnailImage
        const auto settings = ifds.SubIfd(ifd0, 0x2020);
        ifds.BlankStartAndLength(settings, 0x0101, 0x0102);  // PreviewImageStart, -Length
        if (const auto valid = ifds.Entry(settings, 0x0100)) ifds.Zero(*valid + 8, 4);
        return true;
    }
    if (StartsWith(note, "PENTAX \0"sv) && note.size() >= 10) {
        NoteIfds ifds(note, 0, note[8] == 'I');
        ifds.BlankStartAndLength(std::size_t(10), 0x0004, 0x0003);  // PreviewOffset, -Length
        return true;
    }
    return StartsWith(note, "FUJIFILM"sv);
}

bool IsPreview(const Exiv2::Exifdatum& datum) {
    const std::string group = datum.groupName(), tag = datum.tagName();
    return group.find("Preview") != std::string::npos || tag.find("Preview") != std::string::npos ||
           tag.find("Thumbnail") != std::string::npos;
}

}  // namespace

void PrepareMakerNote(Exiv2::ExifData& exif) {
    const auto raw = exif.findKey(Exiv2::ExifKey("Exif.Photo.MakerNote"));
    std::vector<std::uint8_t> note;
    if (raw != exif.end() && raw->typeId() == Exiv2::undefined && raw->size() > 0) {
        note.resize(raw->size());
        raw->copy(note.data(), Exiv2::invalidByteOrder);
    }
    const bool keep = !note.empty() && BlankPreviewsOfMovableNote(note);
    if (keep) {
        const Exiv2::DataValue value(note.data(), exiv2::Size(note.size()));
        raw->setValue(&value);
    }
    bool decoded = false;
    for (auto i = exif.begin(); i != exif.end();) {
        const std::string group = i->groupName();
        if (!Exiv2::ExifTags::isMakerGroup(group)) {
            ++i;
            continue;
        }
        decoded = decoded || group != "MakerNote";
        if (keep || IsPreview(*i))
            i = exif.erase(i);
        else
            ++i;
    }
    // Exiv2 rebuilds a decoded note from its tags; its own bytes would bring the previews back
    // when no other tag is left.
    if (!keep && decoded && raw != exif.end()) exif.erase(raw);
}

}  // namespace lumivane
