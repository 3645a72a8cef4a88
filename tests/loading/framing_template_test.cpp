// Framing template files: what is written comes back, the background is found relative to the
// template, and anything damaged, foreign or newer is refused with its message.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "loading/framing_template.h"

namespace lumivane {
namespace {

namespace fs = std::filesystem;

class FramingTemplateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               (std::string("lumivane-template-") +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "rahmen");
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Slurp(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void Write(const fs::path& p, const std::string& text) {
        std::ofstream(p, std::ios::binary) << text;
    }

    fs::path dir_;
};

TEST_F(FramingTemplateTest, WhatIsWrittenIsReadBackWithTheBackgroundRelativeWhenBelow) {
    FramingTemplate t;
    t.frame = 117;
    t.motifZoom = 80;
    t.rotate = -12;
    t.radius = 15;
    t.feather = 0;  // set by hand to 0 is not "derived"
    t.marginY = -1000;
    t.roundMask = true;
    t.backgroundCheck = false;
    t.fillColor = RGB(10, 200, 30);
    t.smooth = true;
    t.reduceMotif = true;
    t.backgroundTurns = 3;
    t.orientationMatched = false;

    struct Case {
        fs::path background;
        std::string stored;  // as it stands in the file, between the quotes
    };
    const fs::path outside = fs::temp_directory_path() / "anderswo" / "Rahmen \"alt\" ö.jpg";
    const Case cases[] = {
        {dir_ / "rahmen" / "holz.jpg", "rahmen/holz.jpg"},
        {dir_ / "holz.jpg", "holz.jpg"},
        {outside, (fs::temp_directory_path() / "anderswo/Rahmen \\\"alt\\\" ö.jpg").string()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.background);
        t.background = c.background.string();
        const fs::path file = dir_ / "v.lumivane";
        ASSERT_EQ(WriteTemplate(t, file.string()), "");
        EXPECT_NE(Slurp(file).find("\"background\": \"" + c.stored + '"'), std::string::npos)
            << Slurp(file);

        std::string error;
        const std::optional<FramingTemplate> r = ReadTemplate(file.string(), error);
        ASSERT_TRUE(r) << error;
        EXPECT_TRUE(*r == t);
    }
}

TEST_F(FramingTemplateTest, ADamagedForeignOrNewerFileIsRefusedWithItsMessage) {
    FramingTemplate t;
    t.background = (dir_ / "holz.jpg").string();
    const fs::path good = dir_ / "gut.lumivane";
    ASSERT_EQ(WriteTemplate(t, good.string()), "");
    const std::string text = Slurp(good);
    auto edited = [&](const std::string& from, const std::string& to) {
        std::string s = text;
        const std::size_t at = s.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? s : s.replace(at, from.size(), to);
    };

    const std::string damaged = "Die Vorlage ist beschädigt.";
    const std::string foreign = "Die Datei ist keine Lumivane-Vorlage.";
    const struct {
        const char* name;
        std::string content;
        std::string message;
    } cases[] = {
        {"cut short", text.substr(0, text.size() - 30), damaged},
        {"a value missing", edited("\"rotate\": 5,", ""), damaged},
        {"a key twice", edited("\"rotate\": 5,", "\"rotate\": 5, \"rotate\": 6,"), damaged},
        {"a key of no one", edited("\"rotate\": 5,", "\"rotate\": 5, \"tilt\": 6,"), damaged},
        {"turns beyond 3", edited("\"backgroundTurns\": 0", "\"backgroundTurns\": 4"), damaged},
        {"text for a number", edited("\"frame\": 130", "\"frame\": \"130\""), damaged},
        {"a bad colour", edited("\"#FFFFFF\"", "\"white\""), damaged},
        {"a nested object", edited("\"rotate\": 5", "\"rotate\": {\"x\": 5}"), damaged},
        {"text after the object", text + "{}", damaged},
        {"a bad escape", edited("\"holz.jpg\"", "\"holz\\q.jpg\""), damaged},
        {"newer", edited("\"version\": 1", "\"version\": 2"),
         "Die Vorlage stammt aus einer neueren Version von Lumivane und kann nicht gelesen "
         "werden."},
        {"another program's JSON", "{\"format\": \"andere\", \"version\": 1}", foreign},
        {"a picture", std::string("\xFF\xD8\xFF\xE0\0\x10JFIF", 10), foreign},
        {"empty", "", foreign},
        {"huge", std::string(200000, ' '), foreign},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = dir_ / "kaputt.lumivane";
        Write(file, c.content);
        std::string error;
        EXPECT_FALSE(ReadTemplate(file.string(), error));
        EXPECT_EQ(error, c.message);
    }
    std::string error;
    EXPECT_FALSE(ReadTemplate((dir_ / "fehlt.lumivane").string(), error));
    EXPECT_EQ(error, "Die Vorlage konnte nicht gelesen werden.");
    EXPECT_FALSE(ReadTemplate(dir_.string(), error)) << "a folder";
    EXPECT_EQ(error, "Die Vorlage konnte nicht gelesen werden.");
}

TEST_F(FramingTemplateTest, AFailedSaveKeepsTheOldFileAndLeavesNothingBehind) {
    FramingTemplate t;
    t.background = (dir_ / "holz.jpg").string();
    const fs::path file = dir_ / "rahmen" / "v.lumivane";
    Write(file, "alt");
    ::chmod(file.c_str(), 0444);
    const std::string message = WriteTemplate(t, file.string());
    ::chmod(file.c_str(), 0644);
    if (::geteuid() != 0) {  // root may write anything
        EXPECT_EQ(message, "Die Vorlage konnte nicht gespeichert werden: Keine Berechtigung.");
        EXPECT_EQ(Slurp(file), "alt");
    }
    EXPECT_EQ(WriteTemplate(t, (dir_ / "nirgends" / "v.lumivane").string()),
              "Die Vorlage konnte nicht gespeichert werden: Ordner nicht gefunden.");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "rahmen"), fs::directory_iterator()), 1);
}

// Landscape is wider than high; a square counts as landscape.
TEST(FramingTemplate, TheBackgroundTurnsOnceMoreForAMotifOfTheOtherOrientation) {
    const struct {
        int turns;
        std::optional<bool> matched;
        int bw, bh, mw, mh;
        int expected;
    } cases[] = {
        {0, true, 400, 250, 320, 240, 0},   // landscape frame, landscape photo
        {0, true, 400, 250, 240, 320, 1},   // ... portrait photo
        {0, true, 400, 250, 300, 300, 0},   // ... square photo
        {1, true, 400, 250, 240, 320, 1},   // turned to portrait for a portrait photo
        {1, true, 400, 250, 320, 240, 2},   // ... given a landscape photo
        {3, true, 250, 400, 320, 240, 3},   // turned to landscape
        {0, false, 400, 250, 240, 320, 0},  // designed across: a portrait photo keeps it
        {0, false, 400, 250, 320, 240, 1},
        {2, std::nullopt, 400, 250, 240, 320, 2},  // no orientation rule
    };
    for (const auto& c : cases) {
        FramingTemplate t;
        t.backgroundTurns = c.turns;
        t.orientationMatched = c.matched;
        EXPECT_EQ(BackgroundTurnsFor(t, c.bw, c.bh, c.mw, c.mh), c.expected)
            << c.turns << " turns, frame " << c.bw << "x" << c.bh << ", photo " << c.mw << "x"
            << c.mh;
    }
}

// A file as this version writes it, pinned: read, it gives the design (the background found
// below the template's folder); written again, the same bytes, key order and number forms.
// Files of earlier builds lack "smooth" and read as the plain mode.
TEST_F(FramingTemplateTest, AStoredFileReadsAndWritesBackByteForByte) {
    const std::string stored = R"({
  "format": "lumivane-template",
  "version": 1,
  "background": "rahmen/holz.jpg",
  "backgroundTurns": 1,
  "orientationMatched": null,
  "frame": 117.5,
  "motifZoom": 80,
  "rotate": -12.25,
  "feather": "derived",
  "roundMask": true,
  "radius": 15,
  "backgroundShown": true,
  "backgroundZoom": 87.5,
  "marginX": "derived",
  "marginY": -3,
  "fill": "#0AC8AB",
  "reduceMotif": true,
  "smooth": true
}
)";
    FramingTemplate expected;
    expected.frame = 117.5;
    expected.motifZoom = 80;
    expected.rotate = -12.25;
    expected.radius = 15;
    expected.backgroundZoom = 87.5;
    expected.marginY = -3;
    expected.roundMask = true;
    expected.fillColor = RGB(10, 200, 171);
    expected.reduceMotif = true;
    expected.smooth = true;
    expected.backgroundTurns = 1;
    expected.background = (dir_ / "rahmen" / "holz.jpg").string();

    const fs::path file = dir_ / "v.lumivane";
    Write(file, stored);
    std::string error;
    std::optional<FramingTemplate> read = ReadTemplate(file.string(), error);
    ASSERT_TRUE(read) << error;
    EXPECT_TRUE(*read == expected);
    ASSERT_EQ(WriteTemplate(*read, (dir_ / "again.lumivane").string()), "");
    EXPECT_EQ(Slurp(dir_ / "again.lumivane"), stored);

    const std::string smooth = ",\n  \"smooth\": true";
    std::string older = stored;
    older.erase(older.find(smooth), smooth.size());
    Write(file, older);
    read = ReadTemplate(file.string(), error);
    ASSERT_TRUE(read) << error << older;
    expected.smooth = false;
    EXPECT_TRUE(*read == expected);
}

// A print format is written only while on, read back whole, and refused in part or with
// borders wider than its paper.
TEST_F(FramingTemplateTest, APrintFormatTravelsWholeAndOnlyWhenOn) {
    FramingTemplate t;
    t.background = (dir_ / "holz.jpg").string();
    t.print = PrintFormat{
        127000, 177800, 600, 5000, 7500, 22500, true, PaperOrientation::Landscape, PaperUnit::In};
    const fs::path file = dir_ / "druck.lumivane";
    ASSERT_EQ(WriteTemplate(t, file.string()), "");
    const std::string text = Slurp(file);
    EXPECT_NE(
        text.find("\"printWidth\": 127,\n  \"printHeight\": 177.8,\n  \"printUnit\": \"in\",\n"
                  "  \"printDpi\": 600,\n  \"printBorderTop\": 5,\n  \"printBorderSides\": 7.5,\n"
                  "  \"printBorderBottom\": 22.5,\n  \"printFill\": true,\n"
                  "  \"printOrientation\": \"quer\"\n}"),
        std::string::npos)
        << text;
    std::string error;
    std::optional<FramingTemplate> read = ReadTemplate(file.string(), error);
    ASSERT_TRUE(read) << error;
    EXPECT_TRUE(*read == t);

    auto refused = [&](const std::string& from, const std::string& to) {
        std::string s = text;
        s.replace(s.find(from), from.size(), to);
        Write(file, s);
        return !ReadTemplate(file.string(), error) && error == "Die Vorlage ist beschädigt.";
    };
    EXPECT_TRUE(refused(",\n  \"printDpi\": 600", "")) << "a print format in part";
    EXPECT_TRUE(refused("\"printDpi\": 600", "\"printDpi\": 1201"));
    EXPECT_TRUE(refused("\"printBorderTop\": 5", "\"printBorderTop\": 120"));
    EXPECT_TRUE(refused("\"printUnit\": \"in\"", "\"printUnit\": \"pt\""));
}

// The frame over the motif adds its two keys at the end, and only when it is on; what is
// written reads back to the same bytes, and a window that is no box makes the file damaged.
TEST_F(FramingTemplateTest, TheFrameOverTheMotifIsWrittenOnlyWhenOn) {
    FramingTemplate t;
    t.background = (dir_ / "holz.png").string();
    const fs::path file = dir_ / "v.lumivane";
    ASSERT_EQ(WriteTemplate(t, file.string()), "");
    const std::string plain = Slurp(file);
    EXPECT_EQ(plain.find("overlay"), std::string::npos);

    const struct {
        std::optional<OpeningBox> opening;
        std::string stored;
    } cases[] = {{std::nullopt, "\"derived\""},
                 {OpeningBox{12, 30, 400, 250}, "\"12,30,400,250\""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        t.overlay = true;
        t.opening = c.opening;
        ASSERT_EQ(WriteTemplate(t, file.string()), "");
        const std::string text = Slurp(file);
        EXPECT_EQ(text, plain.substr(0, plain.size() - 3) +
                            ",\n  \"overlay\": true,\n  \"opening\": " + c.stored + "\n}\n");
        std::string error;
        const std::optional<FramingTemplate> read = ReadTemplate(file.string(), error);
        ASSERT_TRUE(read) << error;
        EXPECT_TRUE(*read == t);
    }
    for (const char* bad : {"\"12,30,0,250\"", "\"-1,30,40,250\"", "\"1,2,3,4,\""}) {
        std::string text = Slurp(file);
        text.replace(text.find("\"12,30,400,250\""), 16, bad);
        Write(file, text);
        std::string error;
        EXPECT_FALSE(ReadTemplate(file.string(), error)) << bad;
        EXPECT_EQ(error, "Die Vorlage ist beschädigt.");
        ASSERT_EQ(WriteTemplate(t, file.string()), "");
    }
}

// A caption is written only when set and comes back as it was, patterns with quotes, braces
// and umlauts included; a file that gives only its first line gets the defaults for the rest,
// and a value out of its range makes the file damaged.
TEST_F(FramingTemplateTest, ACaptionIsWrittenOnlyWhenSetAndReadBackWhole) {
    FramingTemplate t;
    t.background = (dir_ / "holz.png").string();
    const fs::path file = dir_ / "b.lumivane";
    ASSERT_EQ(WriteTemplate(t, file.string()), "");
    const std::string plain = Slurp(file);
    EXPECT_EQ(plain.find("caption"), std::string::npos);

    Caption c;
    c.lines[0] = {"{Kamera} · \"Größe\" {{1}}", "DejaVu Serif", 700};
    c.lines[2] = {"[{Objektiv} · ]{Blende}", "", 300};
    c.place = CaptionPlace::TopRight;
    c.align = CaptionAlign::Right;
    c.size = 3.25;
    for (std::optional<COLORREF> colour :
         {std::optional<COLORREF>(), std::optional(RGB(1, 2, 3))}) {
        c.colour = colour;
        t.caption = c;
        ASSERT_EQ(WriteTemplate(t, file.string()), "");
        std::string error;
        const std::optional<FramingTemplate> read = ReadTemplate(file.string(), error);
        ASSERT_TRUE(read) << error;
        EXPECT_TRUE(*read == t) << Slurp(file);
    }

    std::string error;
    Write(file, plain.substr(0, plain.size() - 3) + ",\n  \"captionLine1\": \"{Datei}\"\n}\n");
    const std::optional<FramingTemplate> partial = ReadTemplate(file.string(), error);
    ASSERT_TRUE(partial && partial->caption) << error;
    Caption expected;
    expected.lines[0].pattern = "{Datei}";
    EXPECT_TRUE(*partial->caption == expected);

    for (const char* bad :
         {"\"captionSize\": 0", "\"captionSize\": 51", "\"captionPosition\": \"mitte\"",
          "\"captionFont2\": \"Serif:1000\"", "\"captionColor\": \"rot\"", "\"captionLine3\": 4"}) {
        Write(file, plain.substr(0, plain.size() - 3) + ",\n  " + bad + "\n}\n");
        EXPECT_FALSE(ReadTemplate(file.string(), error)) << bad;
        EXPECT_EQ(error, "Die Vorlage ist beschädigt.");
    }
}

}  // namespace
}  // namespace lumivane
