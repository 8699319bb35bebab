// CDDB disc ids and query arguments of images, against libcddb's computation over a table of tables of
// contents (short and long discs, pregaps, a data track first or last).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/audio_fixtures.h"
#include "platform/basscd/basscd.h"
#include "support/cd_image.h"

#include <cddb/cddb.h>

namespace {

using testsupport::CdTrackSpec;

struct TocCase {
    const char* name;
    std::vector<CdTrackSpec> tracks;  // sectors through frames = 588 × sectors
};

CdTrackSpec Audio(long sectors, long pregap = 0) {
    return {588 * sectors, true, pregap};
}
CdTrackSpec Data(long sectors) {
    return {588 * sectors, false, 0};
}

const std::vector<TocCase> kTocs = {
    {"three_short", {Audio(773), Audio(578), Audio(375)}},
    {"one_track", {Audio(2000)}},
    {"pregaps", {Audio(10000), Audio(15000, 150), Audio(20000, 37)}},
    {"data_first", {Data(30000), Audio(12000), Audio(9000)}},
    {"enhanced_cd", {Audio(20000), Audio(18000), Audio(17000), Data(40000)}},
    {"seventy_four_minutes",
     {Audio(22000), Audio(21000), Audio(25000), Audio(19000), Audio(23000), Audio(20000), Audio(24000),
      Audio(21500), Audio(22500), Audio(16000), Audio(19500), Audio(20500), Audio(18000), Audio(17000),
      Audio(24000)}},
    {"ninety_nine_tracks", std::vector<CdTrackSpec>(99, Audio(3000))},
};

class DiscIds : public ::testing::TestWithParam<TocCase> {
  protected:
    testsupport::TempDir dir;
};

TEST_P(DiscIds, MatchLibcddb) {
    testsupport::CdImageOptions sparse;
    sparse.sparse = true;
    const auto image = testsupport::MakeCdImage(dir.path(), GetParam().name, GetParam().tracks, sparse);
    const int drive = BASS_CD_FindDrive(image.cue.c_str());
    ASSERT_GE(drive, 0);
    const char* text = BASS_CD_GetID(static_cast<DWORD>(drive), BASS_CDID_CDDB);
    ASSERT_NE(text, nullptr) << BASS_ErrorGetCode();

    cddb_disc_t* disc = cddb_disc_new();
    std::string expected;
    for (long start : image.index1) {
        cddb_track_t* track = cddb_track_new();
        cddb_track_set_frame_offset(track, static_cast<int>(start + 150));
        cddb_disc_add_track(disc, track);
        expected += " " + std::to_string(start + 150);
    }
    cddb_disc_set_length(disc, static_cast<unsigned>((image.totalSectors + 150) / 75));
    ASSERT_EQ(cddb_disc_calc_discid(disc), 1);
    char id[16];
    std::snprintf(id, sizeof id, "%08x", cddb_disc_get_discid(disc));
    cddb_disc_destroy(disc);
    expected = std::string(id) + " " + std::to_string(image.index1.size()) + expected + " " +
               std::to_string((image.totalSectors + 150) / 75);
    EXPECT_EQ(std::string(text), expected);
}

INSTANTIATE_TEST_SUITE_P(Table, DiscIds, ::testing::ValuesIn(kTocs),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DiscId, TheWorkedExample) {
    // Audio tracks at LSN 0, 773 and 1351, lead-out at 1726.
    testsupport::TempDir dir;
    const auto image = testsupport::MakeCdImage(dir.path(), "x", {Audio(773), Audio(578), Audio(375)});
    const int drive = BASS_CD_FindDrive(image.cue.c_str());
    const char* text = BASS_CD_GetID(static_cast<DWORD>(drive), BASS_CDID_CDDB);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "07001703 3 150 923 1501 25");
    EXPECT_EQ(BASS_CD_GetID(static_cast<DWORD>(drive), 99), nullptr);
    EXPECT_EQ(BASS_CD_GetID(1000, BASS_CDID_CDDB), nullptr);
}

}  // namespace
