#include "platform/imagelib/photo_fields.h"

#include <map>

#include <exiv2/exiv2.hpp>

namespace lumivane {
namespace {

// Numbers beyond a few are a table or a binary block, never a caption's fact.
constexpr long kMaxNumbers = 8;

// Keys seen in order, with repeated IPTC data sets joined into their first entry.
class Collector {
  public:
    explicit Collector(std::vector<PhotoField>& fields) : fields_(fields) {}

    void Add(PhotoField field) {
        const auto [at, added] = index_.emplace(field.key, fields_.size());
        if (added) {
            fields_.push_back(std::move(field));
            return;
        }
        PhotoField& first = fields_[at->second];
        first.printed += ", " + field.printed;
        first.raw += ", " + field.raw;
    }

  private:
    std::vector<PhotoField>& fields_;
    std::map<std::string, std::size_t> index_;
};

template <typename F>
void Try(F f) {
    try {
        f();
    } catch (...) {
    }
}

bool IsNumberType(Exiv2::TypeId type) {
    switch (type) {
        case Exiv2::unsignedByte:
        case Exiv2::unsignedShort:
        case Exiv2::unsignedLong:
        case Exiv2::unsignedRational:
        case Exiv2::signedByte:
        case Exiv2::signedShort:
        case Exiv2::signedLong:
        case Exiv2::signedRational:
            return true;
        default:
            return false;
    }
}

void AddExif(const Exiv2::ExifData& exif, Collector& out) {
    for (const Exiv2::Exifdatum& datum : exif) {
        Try([&] {
            PhotoField field;
            field.key = datum.key();
            // With the whole block: maker-note lens tables look at the focal length.
            Try([&] { field.printed = datum.print(&exif); });
            field.raw = datum.toString();
            if (IsNumberType(datum.typeId()) && datum.count() <= kMaxNumbers) {
                for (long i = 0; i < datum.count(); ++i) {
                    const Exiv2::Rational r = datum.toRational(i);
                    field.numbers.emplace_back(r.first, r.second);
                }
            }
            out.Add(std::move(field));
        });
    }
}

std::string XmpText(const Exiv2::Xmpdatum& datum) {
    const Exiv2::Value& value = datum.value();
    switch (value.typeId()) {
        case Exiv2::langAlt: {
            const auto& alt = static_cast<const Exiv2::LangAltValue&>(value);
            const auto found = alt.value_.find("x-default");
            if (found != alt.value_.end()) return found->second;
            return alt.value_.empty() ? std::string() : alt.value_.begin()->second;
        }
        case Exiv2::xmpBag:
        case Exiv2::xmpSeq:
        case Exiv2::xmpAlt: {
            std::string joined;
            for (long i = 0; i < value.count(); ++i) {
                if (i) joined += ", ";
                joined += value.toString(i);
            }
            return joined;
        }
        default:
            return value.toString();
    }
}

void AddXmp(const Exiv2::XmpData& xmp, Collector& out) {
    for (const Exiv2::Xmpdatum& datum : xmp) {
        Try([&] {
            PhotoField field;
            field.key = datum.key();
            field.raw = XmpText(datum);
            // A language alternative prints with its language; the text alone reads better.
            const Exiv2::TypeId type = datum.typeId();
            if (type == Exiv2::langAlt || type == Exiv2::xmpBag || type == Exiv2::xmpSeq ||
                type == Exiv2::xmpAlt)
                field.printed = field.raw;
            else
                Try([&] { field.printed = datum.print(); });
            out.Add(std::move(field));
        });
    }
}

void AddIptc(const Exiv2::IptcData& iptc, Collector& out) {
    for (const Exiv2::Iptcdatum& datum : iptc) {
        Try([&] {
            PhotoField field;
            field.key = datum.key();
            field.raw = datum.toString();
            Try([&] { field.printed = datum.print(); });
            out.Add(std::move(field));
        });
    }
}

}  // namespace

std::vector<PhotoField> ReadPhotoFields(const PhotoMetadata& metadata) {
    std::vector<PhotoField> fields;
    Try([&] {
        PrepareExiv2();
        Collector out(fields);
        if (!metadata.exif.empty())
            Try([&] {
                Exiv2::ExifData exif;
                Exiv2::ExifParser::decode(exif, metadata.exif.data(),
                                          std::uint32_t(metadata.exif.size()));
                AddExif(exif, out);
            });
        if (!metadata.xmp.empty())
            Try([&] {
                Exiv2::XmpData xmp;
                if (Exiv2::XmpParser::decode(xmp, metadata.xmp) == 0) AddXmp(xmp, out);
            });
        if (!metadata.iptc.empty())
            Try([&] {
                Exiv2::IptcData iptc;
                if (Exiv2::IptcParser::decode(iptc, metadata.iptc.data(),
                                              std::uint32_t(metadata.iptc.size())) == 0)
                    AddIptc(iptc, out);
            });
    });
    return fields;
}

bool IsPhotoFieldKey(std::string_view key) {
    try {
        const std::string k(key);
        if (k.rfind("Exif.", 0) == 0) return Exiv2::ExifKey(k).key() == k;
        if (k.rfind("Xmp.", 0) == 0) return Exiv2::XmpKey(k).key() == k;
        if (k.rfind("Iptc.", 0) == 0) return Exiv2::IptcKey(k).key() == k;
    } catch (...) {
    }
    return false;
}

}  // namespace lumivane
