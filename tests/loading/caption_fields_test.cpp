// Caption fields filled from photos made here with Exiv2 and read as loading reads them: the
// German formatting of every field kind, hostile values, the lens fallback chain and patterns.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include <exiv2/exiv2.hpp>

#include "loading/caption_fields.h"

namespace lumivane {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

// A JPEG holding `entries` (the key says the block; a repeated IPTC key repeats its data set),
// its metadata read back the way a motif's is.
PhotoMetadata Photo(const Entries& entries) {
    Exiv2::ExifData exif;
    Exiv2::XmpData xmp;
    Exiv2::IptcData iptc;
    for (const auto& [key, value] : entries) {
        if (key.rfind("Exif.", 0) == 0) {
            exif[key] = value;
        } else if (key.rfind("Xmp.", 0) == 0) {
            xmp[key] = value;
        } else {
            const Exiv2::IptcKey k(key);
            auto v = Exiv2::Value::create(Exiv2::IptcDataSets::dataSetType(k.tag(), k.record()));
            v->read(value);
            iptc.add(k, v.get());
        }
    }
    auto image = Exiv2::ImageFactory::create(Exiv2::ImageType::jpeg);
    image->setExifData(exif);
    image->setXmpData(xmp);
    image->setIptcData(iptc);
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    io.open();
    std::vector<std::uint8_t> file(io.size());
    io.read(file.data(), long(file.size()));
    io.close();
    return ReadPhotoMetadata(file);
}

// The field as a pattern gives it: "Datum:%d. %B %Y" is Datum with that format.
std::string ValueOf(const CaptionFacts& facts, const std::string& field) {
    EXPECT_EQ(CheckCaptionPattern("{" + field + "}"), "");
    return FillCaptionPattern("{" + field + "}", facts);
}

struct FieldCase {
    std::string field;
    Entries photo;
    std::string expected;
};

TEST(CaptionFields, EveryKindOfFieldReadsAsGermanCaptionText) {
    // As long as a JPEG's EXIF segment allows.
    const std::string longTitle(60000, 'a');
    std::string umlauts;
    for (int i = 0; i < 1200; ++i) umlauts += "ä";
    std::string thousandUmlauts;
    for (int i = 0; i < 1000; ++i) thousandUmlauts += "ä";
    const std::vector<FieldCase> cases{
        {"Kamera",
         {{"Exif.Image.Make", "Canon"}, {"Exif.Image.Model", "Canon EOS 40D"}},
         "Canon EOS 40D"},
        {"Kamera",
         {{"Exif.Image.Make", "NIKON CORPORATION"}, {"Exif.Image.Model", "NIKON D750"}},
         "Nikon D750"},
        {"Kamera",
         {{"Exif.Image.Make", "OLYMPUS IMAGING CORP."}, {"Exif.Image.Model", "E-M5"}},
         "Olympus E-M5"},
        {"Kamera",
         {{"Exif.Image.Make", "KONICA MINOLTA"}, {"Exif.Image.Model", "KONICA MINOLTA DYNAX 5D"}},
         "Konica Minolta DYNAX 5D"},
        {"Kamera", {{"Xmp.tiff.Model", "X100V"}}, "X100V"},
        {"Brennweite", {{"Exif.Photo.FocalLength", "50/1"}}, "50 mm"},
        {"Brennweite", {{"Exif.Photo.FocalLength", "43/10"}}, "4,3 mm"},
        {"Brennweite", {{"Xmp.exif.FocalLength", "35/1"}}, "35 mm"},
        {"Brennweite35", {{"Exif.Photo.FocalLengthIn35mmFilm", "75"}}, "75 mm"},
        {"Brennweite35", {{"Exif.Photo.FocalLengthIn35mmFilm", "0"}}, ""},
        {"Blende", {{"Exif.Photo.FNumber", "28/10"}}, "ƒ/2,8"},
        {"Blende", {{"Exif.Photo.FNumber", "8/1"}}, "ƒ/8"},
        {"Blende", {{"Exif.Photo.FNumber", "0/0"}}, ""},
        {"Blende", {{"Exif.Photo.ApertureValue", "3/1"}}, "ƒ/2,8"},  // APEX 3
        {"Blende", {{"Xmp.exif.FNumber", "56/10"}}, "ƒ/5,6"},
        {"Belichtung", {{"Exif.Photo.ExposureTime", "1/250"}}, "1/250 s"},
        {"Belichtung", {{"Exif.Photo.ExposureTime", "10/2500"}}, "1/250 s"},
        {"Belichtung", {{"Exif.Photo.ExposureTime", "1/4"}}, "1/4 s"},
        {"Belichtung", {{"Exif.Photo.ExposureTime", "3/10"}}, "0,3 s"},
        {"Belichtung", {{"Exif.Photo.ExposureTime", "2/1"}}, "2 s"},
        {"Belichtung", {{"Exif.Photo.ExposureTime", "30/1"}}, "30 s"},
        {"Belichtung", {{"Exif.Photo.ExposureTime", "1/0"}}, ""},
        {"Belichtung", {{"Exif.Photo.ExposureTime", "0/1"}}, ""},
        {"Belichtung", {{"Exif.Photo.ShutterSpeedValue", "-1/1"}}, "2 s"},  // APEX -1
        {"Belichtung", {{"Xmp.exif.ExposureTime", "-1/60"}}, ""},
        {"ISO", {{"Exif.Photo.ISOSpeedRatings", "200"}}, "ISO 200"},
        {"ISO",
         {{"Exif.Photo.ISOSpeedRatings", "65535"},
          {"Exif.Photo.RecommendedExposureIndex", "102400"}},
         "ISO 102400"},
        {"ISO", {{"Exif.Photo.ISOSpeedRatings", "0"}}, ""},
        {"Belichtungskorrektur", {{"Exif.Photo.ExposureBiasValue", "2/3"}}, "+0,7 EV"},
        {"Belichtungskorrektur", {{"Exif.Photo.ExposureBiasValue", "-4/3"}}, "−1,3 EV"},
        {"Belichtungskorrektur", {{"Exif.Photo.ExposureBiasValue", "0/1"}}, "±0 EV"},
        {"Belichtungskorrektur", {{"Exif.Photo.ExposureBiasValue", "1/0"}}, ""},
        {"Datum", {{"Exif.Photo.DateTimeOriginal", "2024:05:17 18:03:21"}}, "17.05.2024"},
        {"Uhrzeit", {{"Exif.Photo.DateTimeOriginal", "2024:05:17 18:03:21"}}, "18:03"},
        {"Datum:%A, %e. %B %Y",
         {{"Exif.Photo.DateTimeOriginal", "2024:05:17 18:03:21"}},
         "Freitag, 17. Mai 2024"},
        {"Datum:%a %d.%m.%y, Tag %j",
         {{"Exif.Photo.DateTimeOriginal", "2024:03:01 08:00:00"}},
         "Fr 01.03.24, Tag 061"},
        {"Uhrzeit:%H.%M.%S Uhr %q",
         {{"Exif.Photo.DateTimeOriginal", "2024:05:17 08:03:09"}},
         "08.03.09 Uhr %q"},
        {"Datum", {{"Exif.Photo.DateTimeOriginal", "0000:00:00 00:00:00"}}, ""},
        {"Datum", {{"Exif.Photo.DateTimeOriginal", "2024:13:45 10:00:00"}}, ""},
        {"Datum", {{"Exif.Photo.DateTimeOriginal", "2023:02:29 10:00:00"}}, ""},
        {"Uhrzeit", {{"Exif.Photo.DateTimeOriginal", "2024:05:17 25:00:00"}}, ""},
        {"Datum:%d. %b",
         {{"Exif.Photo.DateTimeOriginal", "    :  :     :  :  "},
          {"Xmp.exif.DateTimeOriginal", "2023-12-24T20:15:00+01:00"}},
         "24. Dez."},
        {"Uhrzeit",
         {{"Iptc.Application2.DateCreated", "2022-07-01"},
          {"Iptc.Application2.TimeCreated", "09:30:00+02:00"}},
         "09:30"},
        {"Titel",
         {{"Xmp.dc.title", "lang=\"x-default\" Abendrot"},
          {"Iptc.Application2.ObjectName", "IPTC"},
          {"Exif.Image.ImageDescription", "EXIF"}},
         "Abendrot"},
        {"Titel",
         {{"Iptc.Application2.ObjectName", "Am Hafen"}, {"Exif.Image.ImageDescription", "EXIF"}},
         "Am Hafen"},
        {"Titel",
         {{"Exif.Image.ImageDescription", "Ti\x01tel\tmit\xff\xfe Fehlern  "}},
         "Titel mit Fehlern"},
        {"Titel", {{"Xmp.dc.title", "\u202Egnp\u2066.exe\u2069"}}, "gnp.exe"},
        {"Titel", {{"Exif.Image.ImageDescription", longTitle}}, std::string(1000, 'a')},
        {"Titel", {{"Xmp.dc.title", umlauts}}, thousandUmlauts},
        {"Beschreibung",
         {{"Iptc.Application2.Caption", "Möwen über der Weser"}},
         "Möwen über der Weser"},
        {"Urheber",
         {{"Xmp.dc.creator", "Jürgen Weiß"}, {"Exif.Image.Artist", "JW"}},
         "Jürgen Weiß"},
        {"Urheber", {{"Exif.Image.Artist", "Jürgen Weiß"}}, "Jürgen Weiß"},
        {"Copyright",
         {{"Iptc.Application2.Copyright", "© 2024 Jürgen Weiß"}},
         "© 2024 Jürgen Weiß"},
        {"Ort",
         {{"Iptc.Application2.City", "Bremen"},
          {"Xmp.photoshop.State", "Bremen"},
          {"Iptc.Application2.CountryName", "Deutschland"}},
         "Bremen, Deutschland"},
        {"Ort",
         {{"Xmp.iptc.Location", "Schnoor"}, {"Xmp.photoshop.Country", "Deutschland"}},
         "Schnoor, Deutschland"},
        {"Stichwörter",
         {{"Iptc.Application2.Keywords", "Urlaub"}, {"Iptc.Application2.Keywords", "Meer"}},
         "Urlaub, Meer"},
        {"Exif.Photo.WhiteBalance", {{"Exif.Photo.WhiteBalance", "0"}}, "Auto"},
        {"Iptc.Application2.City", {{"Iptc.Application2.City", "Bremen"}}, "Bremen"},
        {"Xmp.iptc.CreatorContactInfo/Iptc4xmpCore:CiAdrCity",
         {{"Xmp.iptc.CreatorContactInfo/Iptc4xmpCore:CiAdrCity", "Bremen"}},
         "Bremen"},
        {"Exif.Photo.Flash", {}, ""},
    };
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(c.field + " = " + (c.photo.empty() ? "" : c.photo[0].second.substr(0, 40)));
        EXPECT_EQ(ValueOf(CaptionFacts::Of(Photo(c.photo), "foto.jpg"), c.field), c.expected);
    }
}

TEST(CaptionFields, FileNameWithoutFolderAndExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"/fotos/2024/IMG_0042.JPG", "IMG_0042"},
        {"archiv.tar.gz", "archiv.tar"},
        {".versteckt", ".versteckt"},
        {"", ""},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(CaptionFacts::Of({}, name).Value("Datei"), expected) << name;
    EXPECT_EQ(CaptionFacts().Value("Datei"), "");
}

// The camera's own lens name, then the maker note through Exiv2's lens tables, then XMP, then
// the focal range the lens states; never a number code.
TEST(CaptionFields, LensFallsBackFromExifToTheMakerNoteToXmpToItsRange) {
    const Entries canon{{"Exif.Image.Make", "Canon"}, {"Exif.Image.Model", "Canon EOS 40D"}};
    const auto with = [&](Entries more) {
        Entries all = canon;
        all.insert(all.end(), more.begin(), more.end());
        return all;
    };
    const std::vector<std::pair<Entries, std::string>> cases{
        {with({{"Exif.Photo.LensModel", "EF24-105mm f/4L IS USM"},
               {"Exif.CanonCs.LensType", "1"},
               {"Xmp.aux.Lens", "XMP"}}),
         "EF24-105mm f/4L IS USM"},
        {with({{"Exif.Photo.LensModel", "----"},
               {"Exif.CanonCs.LensType", "1"},
               {"Xmp.aux.Lens", "XMP"}}),
         "Canon EF 50mm f/1.8"},
        {with({{"Exif.CanonCs.LensType", "9999"}, {"Xmp.aux.Lens", "Sigma 17-70mm"}}),
         "Sigma 17-70mm"},
        {with({{"Exif.CanonCs.LensType", "9999"},
               {"Exif.Photo.LensSpecification", "24/1 105/1 4/1 4/1"}}),
         "24-105 mm ƒ/4"},
        {with({{"Exif.CanonCs.LensType", "9999"},
               {"Exif.CanonCs.Lens", "105 24 1"},
               {"Exif.CanonCs.MaxAperture", "128"}}),
         "24-105 mm ƒ/4"},
        {{{"Exif.Photo.LensSpecification", "18/1 55/1 35/10 56/10"}}, "18-55 mm ƒ/3,5-5,6"},
        {{{"Exif.Photo.LensSpecification", "50/1 50/1 0/0 0/0"}}, "50 mm"},
        {{{"Xmp.aux.LensInfo", "24/1 70/1 28/10 28/10"}}, "24-70 mm ƒ/2,8"},
        {canon, ""},
    };
    for (const auto& [photo, expected] : cases)
        EXPECT_EQ(CaptionFacts::Of(Photo(photo), "").Value("Objektiv"), expected) << expected;
}

TEST(CaptionFields, PatternsDropMissingPartsAndNameTheirMistakes) {
    const CaptionFacts facts = CaptionFacts::Of(Photo({{"Exif.Image.Make", "Canon"},
                                                       {"Exif.Image.Model", "Canon EOS 40D"},
                                                       {"Exif.Photo.FocalLength", "50/1"},
                                                       {"Exif.Photo.FNumber", "8/1"},
                                                       {"Exif.Photo.ExposureTime", "1/250"},
                                                       {"Exif.Photo.ISOSpeedRatings", "200"}}),
                                                "IMG_1.jpg");
    struct Case {
        const char* pattern;
        const char* filled;
        const char* named;  // what the message must quote; nullptr for a good pattern
    };
    const Case cases[] = {
        {"{Kamera} · {Brennweite} · {Blende} · {Belichtung} · {ISO}",
         "Canon EOS 40D · 50 mm · ƒ/8 · 1/250 s · ISO 200", nullptr},
        {"{Kamera}[ · {Objektiv}] · {ISO}", "Canon EOS 40D · ISO 200", nullptr},
        {"[{Titel} – ]{Datei}", "IMG_1", nullptr},
        {"[Blende [{Objektiv} ]{Blende}]", "Blende ƒ/8", nullptr},
        {"[{Titel}]", "", nullptr},
        {"  {Titel}  ", "", nullptr},
        {"{{Kamera}} [[{Exif.Photo.ISOSpeedRatings}]]", "{Kamera} [200]", nullptr},
        {"\x01"
         "a\xff\u202E  b\t",
         "a  b", nullptr},
        {"{Kamerra}", "", "{Kamerra}"},
        {"{Exif.Photo.WhiteBalanse}", "", "{Exif.Photo.WhiteBalanse}"},
        {"{}", "", "{}"},
        {"ISO {ISO", "", "{ISO"},
        {"[{Objektiv} · ", "", "[{Objektiv} ·"},
        {"{ISO}]", "", "]"},
        {"ISO}", "", "}"},
        {"{Kamera:%Y}", "", "{Kamera:%Y}"},
        {"{Kamerra:%Y}", "", "{Kamerra:%Y}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        const std::string message = CheckCaptionPattern(c.pattern);
        if (c.named)
            EXPECT_THAT(message, ::testing::HasSubstr(c.named));
        else
            EXPECT_EQ(message, "");
        EXPECT_EQ(FillCaptionPattern(c.pattern, facts), c.filled);
    }
}

TEST(CaptionFields, TheListNamesEveryFieldThenEveryKeyOfThePhoto) {
    const CaptionFacts facts = CaptionFacts::Of(
        Photo({{"Exif.Photo.ISOSpeedRatings", "400"}, {"Xmp.dc.subject", "Meer"}}), "a.jpg");
    const auto values = CaptionFieldValues(facts);
    const auto& names = CaptionFieldNames();
    ASSERT_GT(values.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(values[i].first, names[i]);
        EXPECT_EQ(values[i].second, facts.Value(names[i]));
    }
    EXPECT_THAT(values, ::testing::Contains(std::pair<std::string, std::string>(
                            "Exif.Photo.ISOSpeedRatings", "400")));
    EXPECT_THAT(values,
                ::testing::Contains(std::pair<std::string, std::string>("Xmp.dc.subject", "Meer")));
}

}  // namespace
}  // namespace lumivane
