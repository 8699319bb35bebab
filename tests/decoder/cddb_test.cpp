// CDDB records and their parser: status lines, DTITLE/TTITLE splitting and joining, disc ids, EXTD/EXTT
// escapes, the errors with their line numbers, and discs surviving a failed parse.
#include <gtest/gtest.h>

#include "decoder/cda.h"
#include "decoder/cddb.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    return SplitReplyLines(text);
}

TEST(CddbParser, ReadsARecordAfterItsStatusLine) {
    TCDDBParser parser;
    const int count =
        parser.Parse(Lines("210 rock a50e1d0c CD database entry follows\r\n# xmcd\r\n"
                           "DISCID=a50e1d0c\r\nDTITLE=Artist / Album\r\nDYEAR=1987\r\n"
                           "DGENRE= Rock \r\nTTITLE0=One\r\nTTITLE1=Guest / Two\r\n"
                           "EXTD=one\\ntwo\r\nEXTD=three\r\nEXTT1=x\\ny\r\nPLAYORDER= 1,0 \r\n.\r\n"),
                     true);
    ASSERT_EQ(count, 1);
    const TCDDisk& disk = parser.Disks()[0];
    EXPECT_EQ(disk.DiscID(), "a50e1d0c");
    EXPECT_EQ(disk.Performer, "Artist");
    EXPECT_EQ(disk.Title, "Album");
    EXPECT_EQ(disk.Year, 1987);
    EXPECT_EQ(disk.Genre, "Rock");
    EXPECT_EQ(disk.Extra, "one\r\ntwothree");
    EXPECT_EQ(disk.PlayOrder, "1,0");
    ASSERT_EQ(disk.Tracks.Count(), 2u);
    EXPECT_EQ(disk.Tracks[0].Title, "One");
    EXPECT_EQ(disk.Tracks[0].Performer(), "Artist");  // the disc's when the track has none
    EXPECT_EQ(disk.Tracks[1].Title, "Two");
    EXPECT_EQ(disk.Tracks[1].Performer(), "Guest");
    EXPECT_EQ(disk.Tracks[1].Extra, "x\r\ny");
    EXPECT_EQ(disk.Tracks[1].Duration, 0);
}

struct FieldCase {
    const char* name;
    const char* line;
    const char* performer;
    const char* title;
};

// The title split and the joining of continued values.
const FieldCase kTitles[] = {
    {"artist_album", "DTITLE=Artist / Album", "Artist", "Album"},
    {"album_only", "DTITLE=Album", "", "Album"},
    {"slash_in_artist", "DTITLE=AC/DC / Back in Black", "AC/DC", "Back in Black"},
    {"bare_slash", "DTITLE=Artist/Album", "Artist", "Album"},
    {"blanks", "DTITLE=  Artist   /   Album  ", "Artist", "Album"},
    {"continued", "DTITLE=Some Long Art\nDTITLE=ist / The Alb\nDTITLE=um", "Some Long Artist", "The Album"},
};

class TitleSplit : public ::testing::TestWithParam<FieldCase> {};

TEST_P(TitleSplit, SplitsArtistFromTitle) {
    TCDDBParser parser;
    parser.Parse(Lines(std::string("DISCID=1\n") + GetParam().line + "\n"), false);
    EXPECT_EQ(parser.Disks()[0].Performer, GetParam().performer);
    EXPECT_EQ(parser.Disks()[0].Title, GetParam().title);
    // The same rules for track titles.
    std::string trackLines = GetParam().line;
    for (size_t at = 0; (at = trackLines.find("DTITLE", at)) != std::string::npos;)
        trackLines.replace(at, 6, "TTITLE0");
    TCDDBParser tracks;
    tracks.Parse(Lines("DISCID=2\nDTITLE=Disc Artist / X\n" + trackLines + "\n"), false);
    const std::string expectedPerformer = *GetParam().performer ? GetParam().performer : "Disc Artist";
    EXPECT_EQ(tracks.Disks()[0].Tracks[0].Performer(), expectedPerformer);
    EXPECT_EQ(tracks.Disks()[0].Tracks[0].Title, GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(Table, TitleSplit, ::testing::ValuesIn(kTitles),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CddbParser, DiscIds) {
    TCDDBParser parser;
    parser.Parse(Lines("DISCID=a50e1d0c\nDISCID=A50E1D0C\nDTITLE=x\nDISCID=xyz\nDTITLE=y\nDISCID=123456789\n"
                       "DTITLE=z\nDISCID=0a0b0c0d,1a1b1c1d\nDISCID=2a2b2c2d\nDTITLE=multi\n"),
                 false);
    // Consecutive DISCID lines list more ids of one record, as xmcd does for records serving several discs.
    ASSERT_EQ(parser.Disks().Count(), 4u);
    EXPECT_EQ(parser.Disks()[0].DiscID(), "a50e1d0c");
    EXPECT_TRUE(parser.Disks()[0].HasDiscID("a50e1d0c"));
    EXPECT_EQ(parser.Disks()[1].DiscID(), "ffffffff");
    EXPECT_EQ(parser.Disks()[2].DiscID(), "ffffffff");  // more than 32 bits is no id either
    EXPECT_EQ(parser.Disks()[3].DiscID(), "0a0b0c0d");
    EXPECT_TRUE(parser.Disks()[3].HasDiscID("1a1b1c1d"));
    EXPECT_TRUE(parser.Disks()[3].HasDiscID("2a2b2c2d"));
    EXPECT_FALSE(parser.Disks()[3].HasDiscID("3a3b3c3d"));
    EXPECT_FALSE(parser.Disks()[3].HasDiscID(""));
}

TEST(CddbParser, YearsAndComments) {
    TCDDBParser parser;
    parser.Parse(
        Lines("# comment\nDISCID=1\nDTITLE=a\n#DYEAR=1999\nDISCID=2\nDYEAR=abc\nDISCID=3\nDYEAR= 2001 \n"
              "DISCID=4\nDYEAR=70000\n"),
        false);
    ASSERT_EQ(parser.Disks().Count(), 4u);
    EXPECT_EQ(parser.Disks()[0].Year, 0);
    EXPECT_EQ(parser.Disks()[1].Year, 0);
    EXPECT_EQ(parser.Disks()[2].Year, 2001);
    EXPECT_EQ(parser.Disks()[3].Year, 0);
}

struct ErrorCase {
    const char* name;
    const char* reply;
    bool status;
    const char* message;
    size_t discsAfter;
};

const ErrorCase kErrors[] = {
    {"no_match", "202 No match for disc ID a50e1d0c.\r\n", true,
     "CDDB error in command response: No match for disc ID a50e1d0c.", 0},
    {"corrupt", "403 Database entry is corrupt.\r\n", true,
     "CDDB error in command response: Database entry is corrupt.", 0},
    {"close_matches", "211 Found inexact matches, list follows\r\nrock a50e1d0c X\r\n.\r\n", true,
     "CDDB error in command response: Found inexact matches, list follows", 0},
    {"no_code", "garbage\r\n", true, "CDDB error in command response: ", 0},
    {"dtitle_first", "DTITLE=x\r\nDISCID=1\r\n", false,
     "An error occurred while parsing line 0 of the response: No disk active", 0},
    {"dot_first", "210 ok\r\n.\r\n", true,
     "An error occurred while parsing line 1 of the response: No disk active", 0},
    {"tracks_out_of_order", "210 ok\r\nDISCID=1\r\nTTITLE0=a\r\nTTITLE1=b\r\nTTITLE3=d\r\n", true,
     "An error occurred while parsing line 4 of the response: Invalid track number: 3", 1},
    {"negative_track", "DISCID=1\r\nTTITLEx=a\r\n", false,
     "An error occurred while parsing line 1 of the response: Invalid track number: -1", 1},
    {"second_disc_fails", "DISCID=1\r\nDTITLE=a\r\nDISCID=2\r\nDTITLE=b\r\nEXTT5=x\r\n", false,
     "An error occurred while parsing line 4 of the response: Invalid track number: 5", 2},
};

class ParseErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ParseErrors, RaiseWithTheLineAndKeepEarlierDiscs) {
    TCDDBParser parser;
    try {
        parser.Parse(Lines(GetParam().reply), GetParam().status);
        FAIL() << "no error";
    } catch (const ECDDBParser& error) {
        EXPECT_STREQ(error.what(), GetParam().message);
    }
    EXPECT_EQ(parser.Disks().Count(), GetParam().discsAfter);
    // The parser is usable again: the current disc was cleared.
    EXPECT_THROW(parser.Parse({"TTITLE0=x"}, false), ECDDBParser);
    EXPECT_EQ(parser.Parse({"DISCID=ab", ".", "TTITLE0=x"}, false),
              static_cast<int>(GetParam().discsAfter) + 1);
}

INSTANTIATE_TEST_SUITE_P(Table, ParseErrors, ::testing::ValuesIn(kErrors),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CddbParser, RepeatedTrackIndexesJoinAndDiscsAccumulate) {
    TCDDBParser parser;
    EXPECT_EQ(parser.Parse({"210 ok", "DISCID=1", "TTITLE0=Long Ti", "TTITLE0=tle", "TTITLE1=B"}, true), 1);
    EXPECT_EQ(parser.Disks()[0].Tracks[0].Title, "Long Title");
    EXPECT_EQ(parser.Parse({"200 ok", "DISCID=2"}, true), 2);
    EXPECT_EQ(parser.Parse({}, true), 2);  // an empty reply has no status line to check
}

TEST(CddbParser, GetTrackOutsideAParse) {
    TCDDBParser parser;
    EXPECT_THROW(parser.GetTrack(0), ECDDBParser);
    try {
        parser.GetTrack(-2);
    } catch (const ECDDBParser& error) {
        EXPECT_STREQ(error.what(), "Invalid track number: -2");
    }
}

TEST(CddbRecords, CopiesAreDeepAndKeepTheirOwners) {
    TCDDisks disks;
    TCDDisk& disk = disks.Add("0badf00d");
    disk.Performer = "Band";
    disk.Tracks.Add("Song");
    TCDDisks copy;
    copy = disks;
    disk.Tracks[0].Title = "Changed";
    disk.Performer = "Other";
    ASSERT_EQ(copy.Count(), 1u);
    EXPECT_EQ(copy[0].DiscID(), "0badf00d");
    EXPECT_EQ(copy[0].Tracks[0].Title, "Song");
    EXPECT_EQ(copy[0].Tracks[0].Performer(), "Band");
    EXPECT_EQ(copy[0].Tracks.Disk(), &copy[0]);
}

TEST(CddbReplies, SplitAtLineFeedsWithOrWithoutCarriageReturns) {
    EXPECT_EQ(SplitReplyLines("a\r\nb\nc\r\n"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(SplitReplyLines("a\r\r\n\n"), (std::vector<std::string>{"a\r", ""}));
}

}  // namespace
