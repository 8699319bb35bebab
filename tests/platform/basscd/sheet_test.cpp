// The cue sheet reader alone: which sheets describe a readable single-BIN image and which are refused, the
// plain sheet handed to libcdio, and the Latin-1 fallback of CDDB replies.
#include <gtest/gtest.h>

#include "platform/basscd/cddb_query.h"
#include "platform/basscd/cue_sheet.h"

namespace {

using basscd::ParseCueSheet;

struct SheetCase {
    const char* name;
    const char* text;
    bool accepted;
    const char* errorPart;  // expected in the reason of a refusal
};

const SheetCase kSheets[] = {
    {"plain", "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n", true, ""},
    {"crlf_and_comments",
     "REM DATE 1999\r\nPERFORMER \"x\"\r\nFILE \"a.bin\" BINARY\r\n TRACK 01 AUDIO\r\n  FLAGS DCP\r\n  INDEX "
     "01 "
     "00:00:00\r\n",
     true, ""},
    {"byte_order_mark",
     "\xEF\xBB\xBF"
     "FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n INDEX 01 00:00:00\n",
     true, ""},
    {"lower_case", "file a.bin binary\ntrack 01 audio\nindex 01 00:00:00\n", true, ""},
    {"pregap_and_data",
     "FILE \"a.bin\" BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\nTRACK 02 AUDIO\nPREGAP 00:02:00\nINDEX "
     "00 "
     "00:10:00\nINDEX 01 00:12:00\nINDEX 02 00:13:00\n",
     true, ""},
    {"no_file", "TRACK 01 AUDIO\nINDEX 01 00:00:00\n", false, "TRACK before FILE"},
    {"two_files",
     "FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nFILE \"b.bin\" BINARY\nTRACK 02 AUDIO\nINDEX "
     "01 "
     "00:00:00\n",
     false, "several FILE"},
    {"wave", "FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", false, "WAVE"},
    {"motorola", "FILE \"a.bin\" MOTOROLA\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", false, "MOTOROLA"},
    {"cooked_data", "FILE \"a.bin\" BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n", false, "MODE1/2048"},
    {"no_tracks", "FILE \"a.bin\" BINARY\n", false, "no tracks"},
    {"no_index_01", "FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 00 00:00:00\n", false, "INDEX 01"},
    {"tracks_skip",
     "FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 03 AUDIO\nINDEX 01 00:01:00\n", false,
     "out of order"},
    {"index_backwards",
     "FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:05:00\nTRACK 02 AUDIO\nINDEX 01 00:01:00\n", false,
     "before"},
    {"empty_track",
     "FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:05:00\nTRACK 02 AUDIO\nINDEX 01 00:05:00\n", false,
     "without sectors"},
    {"bad_frames", "FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:75\n", false, "malformed time"},
    {"bad_seconds", "FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:60:00\n", false, "malformed time"},
    {"open_quote", "FILE \"a.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", false, "quote"},
    {"track_zero", "FILE \"a.bin\" BINARY\nTRACK 00 AUDIO\nINDEX 01 00:00:00\n", false, "track number 0"},
    {"binary_bytes", "FILE \"a.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n\0\x01\x02", false, "binary"},
};

class Sheets : public ::testing::TestWithParam<SheetCase> {};

TEST_P(Sheets, AcceptOnlyReadableSingleBinImages) {
    const SheetCase& c = GetParam();
    std::string error;
    const std::string text(
        c.text, std::char_traits<char>::length(c.text) + (std::string(c.name) == "binary_bytes" ? 3 : 0));
    const auto sheet = ParseCueSheet(text, "/images", error);
    EXPECT_EQ(sheet.has_value(), c.accepted) << error;
    if (!c.accepted) {
        EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Sheets, ::testing::ValuesIn(kSheets),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Sheet, ReadsTracksIndexesAndTheBinPath) {
    std::string error;
    const auto sheet = ParseCueSheet(
        "FILE \"sub\\disc image.img\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nTRACK 02 MODE2/2352\nINDEX "
        "00 "
        "01:00:00\nINDEX 01 01:02:10\n",
        "/images", error);
    ASSERT_TRUE(sheet) << error;
    EXPECT_EQ(sheet->binPath, "/images/sub/disc image.img");  // Windows separators read as "/"
    ASSERT_EQ(sheet->tracks.size(), 2u);
    EXPECT_TRUE(sheet->tracks[0].audio);
    EXPECT_EQ(sheet->tracks[0].index0, -1);
    EXPECT_FALSE(sheet->tracks[1].audio);
    EXPECT_EQ(sheet->tracks[1].index0, 60 * 75);
    EXPECT_EQ(sheet->tracks[1].index1, 62 * 75 + 10);
    EXPECT_EQ(
        basscd::NormalisedCueText(*sheet, "image.bin"),
        "FILE \"image.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 MODE2/2352\n    "
        "INDEX 00 01:00:00\n    INDEX 01 01:02:10\n");
}

TEST(Sheet, TheBinIsLookedForOnlyInTheSheetsFolderOrBelow) {
    // A sheet from elsewhere must not point the program at other files of the user's.
    const std::pair<const char*, const char*> kNames[] = {
        {"disc.bin", "/images/disc.bin"},
        {"./sub/../disc.bin", "/images/disc.bin"},
        {"sub/disc.bin", "/images/sub/disc.bin"},
        {"../disc.bin", "/images/disc.bin"},
        {"sub/../../home/me/.ssh/id_rsa", "/images/id_rsa"},
        {"/etc/passwd", "/images/passwd"},
        {"C:\\Rips\\..\\..\\disc.bin", "/images/disc.bin"},
    };
    for (const auto& [written, expected] : kNames) {
        std::string error;
        const auto sheet =
            ParseCueSheet("FILE \"" + std::string(written) + "\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n",
                          "/images", error);
        ASSERT_TRUE(sheet) << written << ": " << error;
        EXPECT_EQ(sheet->binPath, expected) << written;
    }
}

TEST(CddbText, InvalidUtf8IsReadAsLatin1) {
    EXPECT_EQ(basscd::ToUtf8("Mot\xC3\xB6rhead"), "Mot\xC3\xB6rhead");                // valid UTF-8 stays
    EXPECT_EQ(basscd::ToUtf8("Mot\xF6rhead"), "Mot\xC3\xB6rhead");                    // Latin-1 ö
    EXPECT_EQ(basscd::ToUtf8("\xC3\xB6 and \xE9"), "\xC3\x83\xC2\xB6 and \xC3\xA9");  // mixed: all Latin-1
    EXPECT_EQ(basscd::ToUtf8("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xC2\x80");  // a surrogate is not UTF-8
    EXPECT_EQ(basscd::ToUtf8("\xC0\xAF"), "\xC3\x80\xC2\xAF");              // nor an overlong form
}

}  // namespace
