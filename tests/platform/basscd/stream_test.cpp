// CD track streams of generated BIN/CUE images through the decoding host: exact track bytes, 16-bit and
// float, rewinding, sheets in the shapes found in the wild, every way a track can be missing, a BIN cut
// short, drive numbering, parallel reads, and agreement with cd-paranoia.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/audio_fixtures.h"
#include "platform/basscd/basscd.h"
#include "support/cd_image.h"

namespace {

namespace fs = std::filesystem;
using testsupport::CdImage;
using testsupport::CdImageOptions;
using testsupport::CdTrackSpec;
using testsupport::MakeCdImage;

constexpr DWORD kFlags16 = 0x80220000;
constexpr DWORD kFlagsFloat = 0x80220100;

class CdEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        BASS_Init(0, 44100, 0, nullptr, nullptr);
        ASSERT_NE(BASS_PluginLoad("basscd.dll", 0x80000000), 0u) << BASS_ErrorGetCode();
    }
    void TearDown() override { BASS_Free(); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new CdEnvironment);

struct Stream {
    explicit Stream(const std::string& name, DWORD flags = kFlags16)
        : handle(BASS_StreamCreateFile(FALSE, name.c_str(), 0, 0, flags)), error(BASS_ErrorGetCode()) {}
    ~Stream() {
        if (handle != 0) BASS_StreamFree(handle);
    }
    HSTREAM handle;
    int error;
};

// Reads in 8192-byte requests until the stream stops.
std::vector<uint8_t> ReadAll(HSTREAM handle) {
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> block(8192);
    while (BASS_ChannelIsActive(handle) != BASS_ACTIVE_STOPPED) {
        const DWORD got = BASS_ChannelGetData(handle, block.data(), 8192);
        if (got == static_cast<DWORD>(-1)) break;
        bytes.insert(bytes.end(), block.begin(), block.begin() + got);
    }
    return bytes;
}

class CdStreams : public ::testing::Test {
  protected:
    testsupport::TempDir dir;
};

TEST_F(CdStreams, EveryAudioTrackIsExactlyItsSliceOfTheImage) {
    // Odd frame counts leave padded last sectors; track 2 has a pregap that belongs to track 1; track 4 is
    // data.
    const CdImage image = MakeCdImage(
        dir.path(), "disc", {{588 * 40 + 17}, {588 * 25 + 300, true, 30}, {588 * 12}, {588 * 8, false}});
    for (size_t t = 0; t < 3; ++t) {
        SCOPED_TRACE(t);
        Stream stream(image.TrackName(t));
        ASSERT_NE(stream.handle, 0u) << stream.error;
        const std::vector<uint8_t> expected = image.TrackBytes(t);
        EXPECT_EQ(BASS_ChannelGetLength(stream.handle, BASS_POS_BYTE), expected.size());
        BASS_CHANNELINFO info{};
        ASSERT_TRUE(BASS_ChannelGetInfo(stream.handle, &info));
        EXPECT_EQ(info.freq, 44100u);
        EXPECT_EQ(info.chans, 2u);
        EXPECT_EQ(info.ctype, 0x10200u);
        EXPECT_EQ(info.origres, 16u);
        EXPECT_EQ(BASS_CD_StreamGetTrack(stream.handle) & 0xFFFF, t);
        const std::vector<uint8_t> got = ReadAll(stream.handle);
        EXPECT_EQ(got.size(), expected.size());
        EXPECT_TRUE(got == expected);
    }
    Stream data(image.TrackName(3));
    EXPECT_EQ(data.handle, 0u);
    EXPECT_EQ(data.error, BASS_ERROR_NOTAUDIO);
}

TEST_F(CdStreams, FloatDeliveryAndRewinding) {
    const CdImage image = MakeCdImage(dir.path(), "disc", {{588 * 30 + 5}});
    const std::vector<uint8_t> expected = image.TrackBytes(0);
    Stream stream(image.TrackName(0), kFlagsFloat);
    ASSERT_NE(stream.handle, 0u);
    EXPECT_EQ(BASS_ChannelGetLength(stream.handle, BASS_POS_BYTE), expected.size() * 2);
    std::vector<uint8_t> block(8192);
    ASSERT_EQ(BASS_ChannelGetData(stream.handle, block.data(), 8192), 8192u);  // half-way into the read-ahead
    ASSERT_TRUE(BASS_ChannelSetPosition(stream.handle, 0, BASS_POS_BYTE));
    const std::vector<uint8_t> got = ReadAll(stream.handle);
    ASSERT_EQ(got.size(), expected.size() * 2);
    for (size_t i = 0; i < expected.size() / 2; ++i) {
        int16_t sample;
        float value;
        std::memcpy(&sample, expected.data() + 2 * i, 2);
        std::memcpy(&value, got.data() + 4 * i, 4);
        ASSERT_EQ(value, sample / 32768.0f) << "sample " << i;
    }
    // A position inside a sector: the rest of the track from that frame on.
    const QWORD at = 3 * 2352 * 2 + 200 * 8;
    ASSERT_TRUE(BASS_ChannelSetPosition(stream.handle, at, BASS_POS_BYTE));
    const std::vector<uint8_t> tail = ReadAll(stream.handle);
    EXPECT_EQ(tail.size(), got.size() - at);
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), got.begin() + static_cast<long>(at)));
}

// The CD add-on makes float or 16-bit streams only: a request for 32-bit integers is refused rather than
// handed out float samples to be read as integers.
TEST_F(CdStreams, IntegerRequestIsRefused) {
    const CdImage image = MakeCdImage(dir.path(), "disc", {{588 * 10}});
    Stream integers(image.TrackName(0), kFlagsFloat | BASS_SAMPLE_INT32);
    EXPECT_EQ(integers.handle, 0u);
    EXPECT_EQ(integers.error, BASS_ERROR_FORMAT);
    Stream again(image.TrackName(0), kFlagsFloat);
    EXPECT_NE(again.handle, 0u) << again.error;
}

TEST_F(CdStreams, SheetsFromOtherToolsWork) {
    struct Shape {
        const char* name;
        CdImageOptions options;
    };
    CdImageOptions otherName, bom, lower, all;
    otherName.binName = "Some Other Name (Disc 1).img";
    bom.byteOrderMark = true;
    lower.lowerCaseKeywords = true;
    all.binName = "x.BIN", all.byteOrderMark = true, all.lowerCaseKeywords = true;
    for (const Shape& shape :
         {Shape{"other_name", otherName}, Shape{"bom", bom}, Shape{"lower", lower}, Shape{"all", all}}) {
        SCOPED_TRACE(shape.name);
        const fs::path folder = dir / shape.name;
        fs::create_directories(folder);
        // A decoy named like the sheet must not be what is read.
        if (!shape.options.binName.empty())
            testsupport::WriteBytes(folder / "disc.bin", std::vector<uint8_t>(2352 * 200, 7));
        const CdImage image = MakeCdImage(folder, "disc", {{588 * 20}, {588 * 10}}, shape.options);
        for (size_t t = 0; t < 2; ++t) {
            Stream stream(image.TrackName(t));
            ASSERT_NE(stream.handle, 0u) << stream.error;
            EXPECT_TRUE(ReadAll(stream.handle) == image.TrackBytes(t));
        }
    }
}

TEST_F(CdStreams, MissingTracksAndBadSheetsGiveNoStream) {
    const CdImage image = MakeCdImage(dir.path(), "disc", {{588 * 20}, {588 * 10}});
    const std::string bin = image.bin.filename().string();
    auto sheet = [&](const std::string& name, const std::string& text) {
        fs::create_directories((dir / name).parent_path());
        std::ofstream(dir / name) << text;
        return (dir / name).string();
    };
    const std::vector<std::pair<std::string, std::string>> names = {
        {"past_last_track", image.cue.string() + "/Track03.cda"},
        {"track_zero", image.cue.string() + "/Track00.cda"},
        {"missing_image", (dir / "nothing.cue").string() + "/Track01.cda"},
        {"not_a_sheet", image.bin.string() + "/Track01.cda"},
        {"missing_device", "/dev/no-such-cdrom/Track01.cda"},
        {"two_files",
         sheet("two.cue", "FILE \"" + bin + "\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\nFILE \"" + bin +
                              "\" BINARY\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n") +
             "/Track01.cda"},
        {"wave", sheet("wave.cue", "FILE \"" + bin + "\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n") +
                     "/Track01.cda"},
        {"motorola", sheet("moto.cue", "FILE \"" + bin + "\" MOTOROLA\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n") +
                         "/Track01.cda"},
        {"missing_bin", sheet("nobin.cue", "FILE \"gone.bin\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n") +
                            "/Track01.cda"},
        // The image is there, but not where a sheet in a subfolder may look for it.
        {"bin_outside_the_folder",
         sheet("sub/up.cue", "FILE \"../" + bin + "\" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n") +
             "/Track01.cda"},
        {"garbage", sheet("garbage.cue", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)) + "/Track01.cda"},
        {"not_a_track_name", image.cue.string() + "/Song01.cda"},
    };
    for (const auto& [what, name] : names) {
        Stream stream(name);
        EXPECT_EQ(stream.handle, 0u) << what;
    }
}

TEST_F(CdStreams, ABinCutShortEndsTheStreamAtItsEnd) {
    CdImage image =
        MakeCdImage(dir.path(), "disc", {{588 * 30}, {588 * 30, true, 20}, {588 * 30}, {588 * 30, false}});
    const std::vector<uint8_t> first = image.TrackBytes(0);
    // The BIN now ends ten sectors into track 2; tracks 3 and 4 start past its end. Paranoia's read-ahead
    // runs into the missing tail while track 1 is read and reports errors there that must not fail track 1.
    fs::resize_file(image.bin, static_cast<uintmax_t>((image.index1[1] + 10) * 2352));
    {
        Stream stream(image.TrackName(0));
        ASSERT_NE(stream.handle, 0u);
        EXPECT_TRUE(ReadAll(stream.handle) == first);
    }
    {
        Stream stream(image.TrackName(1));
        ASSERT_NE(stream.handle, 0u);
        EXPECT_EQ(BASS_ChannelGetLength(stream.handle, BASS_POS_BYTE), 30u * 2352);  // the sheet's length
        EXPECT_EQ(ReadAll(stream.handle).size(), 10u * 2352);                        // what the BIN holds
    }
    Stream third(image.TrackName(2));
    EXPECT_EQ(third.handle, 0u);
}

TEST_F(CdStreams, DrivesAreNumberedOncePerCanonicalPath) {
    const CdImage a = MakeCdImage(dir.path(), "a", {{588 * 5}});
    const CdImage b = MakeCdImage(dir.path(), "b", {{588 * 5}});
    fs::create_symlink(a.cue, dir / "link.cue");
    const int first = BASS_CD_FindDrive(a.cue.c_str());
    ASSERT_GE(first, 0);
    EXPECT_EQ(BASS_CD_FindDrive(a.cue.c_str()), first);
    EXPECT_EQ(BASS_CD_FindDrive((dir / "link.cue").c_str()), first);
    EXPECT_EQ(BASS_CD_FindDrive((dir.path() / "." / "a.cue").c_str()), first);
    EXPECT_EQ(BASS_CD_FindDrive(b.cue.c_str()), first + 1);
    EXPECT_EQ(BASS_CD_FindDrive((dir / "none.cue").c_str()), -1);
    EXPECT_EQ(BASS_CD_FindDrive(a.bin.c_str()), -1);

    Stream stream(b.TrackName(0));
    ASSERT_NE(stream.handle, 0u);
    EXPECT_EQ(BASS_CD_StreamGetTrack(stream.handle), static_cast<DWORD>(first + 1) << 16);
    EXPECT_EQ(BASS_CD_StreamGetTrack(0x12345), static_cast<DWORD>(-1));
    BASS_CD_INFO info{};
    ASSERT_TRUE(BASS_CD_GetInfo(static_cast<DWORD>(first), &info));
    EXPECT_TRUE(info.image);
    EXPECT_EQ(fs::path(info.path), fs::canonical(a.cue));
    EXPECT_FALSE(BASS_CD_GetInfo(static_cast<DWORD>(first + 2), &info));
}

TEST_F(CdStreams, TableOfContentsAndTrackLengths) {
    const CdImage image =
        MakeCdImage(dir.path(), "toc", {{588 * 10}, {588 * 20, false}, {588 * 7 + 1, true, 4}});
    const int drive = BASS_CD_FindDrive(image.cue.c_str());
    ASSERT_GE(drive, 0);
    EXPECT_TRUE(BASS_CD_IsReady(static_cast<DWORD>(drive)));
    EXPECT_EQ(BASS_CD_GetTracks(static_cast<DWORD>(drive)), 3u);
    EXPECT_EQ(BASS_CD_GetTrackLength(static_cast<DWORD>(drive), 0), 10u * 2352);
    EXPECT_EQ(BASS_CD_GetTrackLength(static_cast<DWORD>(drive), 1), static_cast<DWORD>(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAUDIO);
    EXPECT_EQ(BASS_CD_GetTrackLength(static_cast<DWORD>(drive), 2), 8u * 2352);
    BASS_CD_TOC toc{};
    ASSERT_TRUE(BASS_CD_GetTOC(static_cast<DWORD>(drive), BASS_CD_TOC_LBA, &toc));
    EXPECT_EQ(toc.first, 1);
    EXPECT_EQ(toc.last, 3);
    EXPECT_EQ(toc.tracks[1].adrcon & BASS_CD_TOC_CON_DATA, BASS_CD_TOC_CON_DATA);
    EXPECT_EQ(toc.tracks[2].lba, static_cast<DWORD>(image.index1[2]));
    EXPECT_EQ(toc.tracks[3].track, 0xAA);
    EXPECT_EQ(toc.tracks[3].lba, static_cast<DWORD>(image.totalSectors));
}

TEST_F(CdStreams, TracksOfAnImageReadInParallel) {
    const CdImage image = MakeCdImage(dir.path(), "disc", {{588 * 150}, {588 * 150}});
    std::vector<uint8_t> got[2];
    std::thread readers[2];
    for (int t = 0; t < 2; ++t)
        readers[t] = std::thread([&, t] {
            Stream stream(image.TrackName(static_cast<size_t>(t)));
            if (stream.handle != 0) got[t] = ReadAll(stream.handle);
        });
    for (auto& r : readers) r.join();
    EXPECT_TRUE(got[0] == image.TrackBytes(0));
    EXPECT_TRUE(got[1] == image.TrackBytes(1));
}

TEST_F(CdStreams, AgreesWithCdParanoiaOnAPregappedImage) {
    const CdImage image = MakeCdImage(
        dir.path(), "disc", {{588 * 50 + 3, true, 0}, {588 * 40, true, 75}, {588 * 20 + 9, true, 33}});
    const fs::path out = dir / "paranoia";
    fs::create_directories(out);
    const auto result = testsupport::RunCommand(
        "cd " + testsupport::ShellQuote(out.string()) + " && cd-paranoia -q -c -B -d " +
        testsupport::ShellQuote(image.cue.string()) + " >/dev/null 2>&1");
    ASSERT_EQ(result.status, 0) << "cd-paranoia failed";
    for (size_t t = 0; t < 3; ++t) {
        char name[32];
        std::snprintf(name, sizeof name, "track%02zu.cdda.wav", t + 1);
        std::vector<uint8_t> wav = testsupport::ReadBytes(out / name);
        ASSERT_GT(wav.size(), 44u);
        wav.erase(wav.begin(), wav.begin() + 44);  // cd-paranoia's canonical 44-byte header
        Stream stream(image.TrackName(t));
        ASSERT_NE(stream.handle, 0u);
        EXPECT_TRUE(ReadAll(stream.handle) == wav) << "track " << t + 1;
    }
}

}  // namespace
