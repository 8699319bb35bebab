// The add-on's entry points: its plug-in information, the create procedures the host calls, the three
// exported creators, the flags passed on to the host, the tag block, and a quiet standard error.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ffdeck_fixtures.h"

using namespace ffdecktest;
using testsupport::PcmSpec;
using testsupport::SampleKind;

namespace {

class Plugin : public testing::Test {
  protected:
    void SetUp() override {
        EnsureHost();
        auto wav = MakeNoiseWav(dir_ / "src.wav", PcmSpec{44100, 2, SampleKind::S16}, 44100);
        flac_ = dir_ / "t.flac";
        FfmpegConvert(wav, "-c:a flac -metadata title=Tune -metadata artist=Someone", flac_);
        expected_ = testsupport::FfmpegDecode(flac_, "f32le");
    }

    // Every key=value text of a tag block, up to its empty text; also checks the block stays inside the
    // add-on's 32768-byte buffer.
    static std::vector<std::string> Entries(const char* block) {
        std::vector<std::string> entries;
        size_t offset = 0;
        while (block[offset] != '\0') {
            entries.emplace_back(block + offset);
            offset += entries.back().size() + 1;
            EXPECT_LT(offset, 32768u);
        }
        return entries;
    }

    testsupport::TempDir dir_;
    std::filesystem::path flac_;
    std::vector<uint8_t> expected_;
};

TEST_F(Plugin, InformationAndFaces) {
    auto* info = static_cast<const BASS_PLUGININFO*>(PluginFace(0));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->version, 0x02040000u);
    EXPECT_EQ(info->formatc, 25u);
    for (DWORD i = 0; i < info->formatc; ++i) {
        EXPECT_NE(info->formats[i].name, nullptr);
        EXPECT_EQ(info->formats[i].exts[0], '*');
    }
    EXPECT_NE(PluginFace(1), nullptr);
    EXPECT_NE(PluginFace(2), nullptr);
    EXPECT_EQ(PluginFace(3), nullptr);
}

TEST_F(Plugin, HostSeesOnlyThePassedFlags) {
    for (auto [flags, seen] : {std::pair{kFloatFlags, 0x200100u}, std::pair{kShortFlags, 0x200000u},
                               std::pair{0x80260114u, 0x240114u}}) {
        HSTREAM h = BASS_StreamCreateFile(FALSE, flac_.c_str(), 0, 0, flags);
        ASSERT_NE(h, 0u);
        BASS_CHANNELINFO info{};
        ASSERT_TRUE(BASS_ChannelGetInfo(h, &info));
        EXPECT_EQ(info.flags, seen) << std::hex << flags;
        BASS_StreamFree(h);
    }
}

TEST_F(Plugin, EightBitSamplesAreRefused) {
    auto* create = reinterpret_cast<STREAMCREATEPROC*>(const_cast<void*>(PluginFace(1)));
    BASSFILE file = _.OpenFile(FALSE, flac_.c_str(), 0, 0, 0, TRUE);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(create(file, BASS_SAMPLE_8BITS), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    _.Close(file);
    EXPECT_EQ(AddonCreateFile(FALSE, flac_.c_str(), 0, 0, BASS_STREAM_DECODE | BASS_SAMPLE_8BITS), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
}

QWORD MemoryLength(void* user) {
    return static_cast<std::vector<uint8_t>*>(user)->size();
}
struct MemoryCursor {
    std::vector<uint8_t>* bytes;
    size_t pos = 0;
};
DWORD MemoryRead(void* buffer, DWORD length, void* user) {
    auto* c = static_cast<MemoryCursor*>(user);
    size_t n = std::min<size_t>(length, c->bytes->size() - c->pos);
    std::memcpy(buffer, c->bytes->data() + c->pos, n);
    c->pos += n;
    return static_cast<DWORD>(n);
}
BOOL MemorySeek(QWORD offset, void* user) {
    auto* c = static_cast<MemoryCursor*>(user);
    if (offset > c->bytes->size()) return FALSE;
    c->pos = offset;
    return TRUE;
}
void MemoryClose(void*) {}

TEST_F(Plugin, ExportedCreatorsOverNamesMemoryAndUserFiles) {
    auto bytes = testsupport::ReadBytes(flac_);
    MemoryCursor cursor{&bytes};
    BASS_FILEPROCS procs{MemoryClose,
                         [](void* u) { return MemoryLength(static_cast<MemoryCursor*>(u)->bytes); },
                         MemoryRead, MemorySeek};
    const std::pair<const char*, HSTREAM> streams[] = {
        {"name", AddonCreateFile(FALSE, flac_.c_str(), 0, 0, kFloatFlags)},
        {"memory", AddonCreateFile(TRUE, bytes.data(), 0, bytes.size(), kFloatFlags)},
        {"user", AddonCreateFileUser(STREAMFILE_NOBUFFER, kFloatFlags, &procs, &cursor)},
    };
    for (auto [what, h] : streams) {
        SCOPED_TRACE(what);
        ASSERT_NE(h, 0u) << "error " << BASS_ErrorGetCode();
        EXPECT_TRUE(ReadAll(h) == expected_);
        BASS_StreamFree(h);
    }
    // This host has no network access: the creator answers 0 with the host's error.
    EXPECT_EQ(AddonCreateURL("http://127.0.0.1:9/a.flac", 0, kFloatFlags, nullptr, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
    // Unreadable input fails with the format error.
    std::vector<uint8_t> garbage(5000, 0x5A);
    EXPECT_EQ(AddonCreateFile(TRUE, garbage.data(), 0, garbage.size(), kFloatFlags), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
}

void IgnoreDownload(const void*, DWORD, void*) {}

TEST_F(Plugin, UrlProcedureOpensWithoutHostFileAndWarnsAboutDownloadProcs) {
    auto* createUrl = reinterpret_cast<STREAMCREATEURLPROC*>(const_cast<void*>(PluginFace(2)));
    std::string url = "file:" + flac_.string();
    testing::internal::CaptureStderr();
    HSTREAM h = createUrl(url.c_str(), 0, kFloatFlags, IgnoreDownload, nullptr);
    std::string warning = testing::internal::GetCapturedStderr();
    EXPECT_EQ(warning, "Warning: downloadproc unsupported for " + url + "\r\n");
    ASSERT_NE(h, 0u);
    EXPECT_TRUE(ReadAll(h) == expected_);
    BASS_StreamFree(h);
}

TEST_F(Plugin, SuccessfulDecodingPrintsNothing) {
    testing::internal::CaptureStderr();
    HSTREAM h = BASS_StreamCreateFile(FALSE, flac_.c_str(), 0, 0, kShortFlags);
    QWORD length = BASS_ChannelGetLength(h, BASS_POS_BYTE);
    auto all = ReadAll(h);
    BASS_StreamFree(h);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(all.size(), length);
}

TEST_F(Plugin, TagsAsKeyValueTexts) {
    HSTREAM h = BASS_StreamCreateFile(FALSE, flac_.c_str(), 0, 0, kFloatFlags);
    ASSERT_NE(h, 0u);
    for (DWORD type : {BASS_TAG_OGG, BASS_TAG_MP4}) {
        const char* block = BASS_ChannelGetTags(h, type);
        ASSERT_NE(block, nullptr);
        std::vector<std::string> lower;
        for (auto& e : Entries(block)) {
            auto key = e.substr(0, e.find('='));
            for (auto& ch : key) ch = static_cast<char>(std::tolower(ch));
            lower.push_back(key + e.substr(key.size()));
        }
        EXPECT_NE(std::find(lower.begin(), lower.end(), "title=Tune"), lower.end());
        EXPECT_NE(std::find(lower.begin(), lower.end(), "artist=Someone"), lower.end());
    }
    EXPECT_EQ(BASS_ChannelGetTags(h, 0), nullptr);
    BASS_StreamFree(h);
}

TEST_F(Plugin, NoMetadataGivesNoTagBlock) {
    auto bare = dir_ / "bare.au";
    FfmpegConvert(flac_, "-map_metadata -1 -fflags +bitexact -c:a pcm_s16be", bare);
    HSTREAM h = BASS_StreamCreateFile(FALSE, bare.c_str(), 0, 0, kFloatFlags);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(BASS_ChannelGetTags(h, BASS_TAG_OGG), nullptr);
    EXPECT_EQ(BASS_ChannelGetTags(h, BASS_TAG_MP4), nullptr);
    BASS_StreamFree(h);
}

TEST_F(Plugin, OversizedTagsStayInsideTheBlock) {
    auto big = dir_ / "big.flac";
    FfmpegConvert(flac_, "-c:a copy -metadata comment=" + std::string(40000, 'x'), big);
    HSTREAM h = BASS_StreamCreateFile(FALSE, big.c_str(), 0, 0, kFloatFlags);
    ASSERT_NE(h, 0u);
    const char* block = BASS_ChannelGetTags(h, BASS_TAG_OGG);
    ASSERT_NE(block, nullptr);
    auto entries = Entries(block);
    EXPECT_FALSE(entries.empty());
    BASS_StreamFree(h);
}

}  // namespace
