// The C calls' contract: what StartW refuses leaves no file, calls out of order fail, the input limit and a
// full disk fail the file and remove it, a level-5000 fallback leaves no temporary file behind, and
// compressors running side by side do not disturb each other.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <thread>

#include "ape_encode.h"
#include "ape_reference.h"
#include "support/audio_fixtures.h"
#include "platform/mac/macdll.h"

namespace {

namespace fs = std::filesystem;
using apetest::Encode;
using apetest::Record;
using apetest::WaveRecord;
using testsupport::TempDir;

const WAVEFORMATEX* Format(const WaveRecord& record) {
    return reinterpret_cast<const WAVEFORMATEX*>(&record);
}

std::vector<uint8_t> Sine16(int64_t blocks) {
    return testsupport::SinePcm({44100, 2, testsupport::SampleKind::S16}, blocks);
}

size_t FilesIn(const fs::path& folder) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

// Owns one compressor handle for the tests that drive the calls one by one.
class Handle {
  public:
    Handle() : handle_(c_APECompress_Create(&error_)) {}
    ~Handle() { c_APECompress_Destroy(handle_); }
    APE_COMPRESS_HANDLE get() const { return handle_; }
    int error() const { return error_; }

  private:
    int error_ = -1;
    APE_COMPRESS_HANDLE handle_;
};

struct Refusal {
    const char* name;
    WaveRecord format;
    int level;
    int64_t headerBytes;
    int expected;
};

class StartRefuses : public testing::TestWithParam<Refusal> {};

TEST_P(StartRefuses, WithoutCreatingAFile) {
    const Refusal& r = GetParam();
    TempDir dir;
    Handle compressor;
    const fs::path file = dir / "out.ape";
    EXPECT_EQ(c_APECompress_StartW(compressor.get(), file.c_str(), Format(r.format), 4294967295, r.level,
                                   nullptr, r.headerBytes),
              r.expected);
    EXPECT_FALSE(fs::exists(file));
    std::vector<uint8_t> pcm = Sine16(10);
    EXPECT_NE(c_APECompress_AddData(compressor.get(), pcm.data(), 40), 0);
}

WaveRecord Float32() {
    WaveRecord r = Record(2, 32);
    r.wFormatTag = 3;
    return r;
}
WaveRecord BadAlign() {
    WaveRecord r = Record(2, 16);
    r.nBlockAlign = 3;
    return r;
}

INSTANTIATE_TEST_SUITE_P(
    Table, StartRefuses,
    testing::Values(Refusal{"bits32", Record(2, 32), 2000, -1, MAC_ERROR_INVALID_FORMAT},
                    Refusal{"bits12", Record(1, 12), 2000, -1, MAC_ERROR_INVALID_FORMAT},
                    Refusal{"float", Float32(), 2000, -1, MAC_ERROR_INVALID_FORMAT},
                    Refusal{"channels3", Record(3, 16), 2000, -1, MAC_ERROR_INVALID_FORMAT},
                    Refusal{"channels0", Record(0, 16), 2000, -1, MAC_ERROR_INVALID_FORMAT},
                    Refusal{"blockalign", BadAlign(), 2000, -1, MAC_ERROR_INVALID_FORMAT},
                    Refusal{"rate0", Record(2, 16, 0), 2000, -1, MAC_ERROR_INVALID_FORMAT},
                    Refusal{"level0", Record(2, 16), 0, -1, MAC_ERROR_INVALID_LEVEL},
                    Refusal{"level1500", Record(2, 16), 1500, -1, MAC_ERROR_INVALID_LEVEL},
                    Refusal{"level6000", Record(2, 16), 6000, -1, MAC_ERROR_INVALID_LEVEL},
                    Refusal{"wavheader", Record(2, 16), 2000, 44, MAC_ERROR_UNSUPPORTED}),
    [](const testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

TEST(StartW, RefusesOutputsItCannotCreateOrFinish) {
    TempDir dir;
    const WaveRecord format = Record(2, 16);
    for (const fs::path& path : {dir / "missing" / "out.ape", dir.path()}) {
        Handle compressor;
        EXPECT_EQ(c_APECompress_StartW(compressor.get(), path.c_str(), Format(format), -1, 2000, nullptr, -1),
                  MAC_ERROR_CREATE_FILE)
            << path;
    }
    EXPECT_FALSE(fs::exists(dir / "missing"));
    // A device is no regular file: the frames could not be moved at the end. It is refused, never removed.
    Handle compressor;
    EXPECT_EQ(c_APECompress_StartW(compressor.get(), "/dev/null", Format(format), -1, 2000, nullptr, -1),
              MAC_ERROR_CREATE_FILE);
    EXPECT_TRUE(fs::exists("/dev/null"));
}

TEST(Calls, OutOfOrderOrWithBadArgumentsFail) {
    TempDir dir;
    const WaveRecord format = Record(2, 16);
    std::vector<uint8_t> pcm = Sine16(100);
    Handle compressor;
    ASSERT_EQ(compressor.error(), 0);
    EXPECT_EQ(c_APECompress_AddData(compressor.get(), pcm.data(), 400), MAC_ERROR_BAD_STATE);
    EXPECT_EQ(c_APECompress_Finish(compressor.get(), nullptr, 0, 0), MAC_ERROR_BAD_STATE);
    EXPECT_EQ(c_APECompress_AddData(nullptr, pcm.data(), 400), MAC_ERROR_BAD_PARAMETER);
    EXPECT_EQ(c_APECompress_StartW(compressor.get(), nullptr, Format(format), -1, 2000, nullptr, -1),
              MAC_ERROR_BAD_PARAMETER);

    const fs::path file = dir / "a.ape";
    ASSERT_EQ(c_APECompress_StartW(compressor.get(), file.c_str(), Format(format), -1, 2000, nullptr, -1), 0);
    EXPECT_EQ(c_APECompress_StartW(compressor.get(), (dir / "b.ape").c_str(), Format(format), -1, 2000,
                                   nullptr, -1),
              MAC_ERROR_BAD_STATE);
    EXPECT_FALSE(fs::exists(dir / "b.ape"));
    EXPECT_EQ(c_APECompress_AddData(compressor.get(), pcm.data(), -1), MAC_ERROR_BAD_PARAMETER);
    EXPECT_EQ(c_APECompress_AddData(compressor.get(), pcm.data(), 400), 0);
    EXPECT_EQ(c_APECompress_Finish(compressor.get(), pcm.data(), 4, 4), MAC_ERROR_UNSUPPORTED);
    EXPECT_EQ(c_APECompress_Finish(compressor.get(), nullptr, 0, 0), 0);
    EXPECT_EQ(c_APECompress_Finish(compressor.get(), nullptr, 0, 0), MAC_ERROR_BAD_STATE);
    EXPECT_EQ(apetest::FfmpegDecode(file).pcm, std::vector<uint8_t>(pcm.begin(), pcm.begin() + 400));

    EXPECT_EQ(GetInterfaceCompatibility(3990, true, nullptr), 0);
    EXPECT_NE(GetInterfaceCompatibility(3991, true, nullptr), 0);
}

TEST(Limits, InputPastTheMaximumFailsAddDataAndLeavesNoFile) {
    TempDir dir;
    const std::vector<uint8_t> pcm = Sine16(1001);  // 4004 bytes
    // Exactly the maximum is fine.
    EXPECT_TRUE(Encode(dir / "exact.ape", Record(2, 16), 2000, pcm, {}, 4004).ok());
    const apetest::EncodeResult over = Encode(dir / "over.ape", Record(2, 16), 2000, pcm, {1000, 3001}, 4003);
    EXPECT_EQ(over.add, MAC_ERROR_TOO_LARGE);
    EXPECT_NE(over.finish, 0);
    EXPECT_FALSE(fs::exists(dir / "over.ape"));
}

TEST(Limits, NoWholeBlockCannotBeWritten) {
    TempDir dir;
    for (size_t bytes : {size_t{0}, size_t{3}}) {
        std::vector<uint8_t> pcm = Sine16(1);
        pcm.resize(bytes);
        const apetest::EncodeResult r = Encode(dir / "empty.ape", Record(2, 16), 2000, pcm);
        EXPECT_EQ(r.finish, MAC_ERROR_EMPTY) << bytes;
        EXPECT_FALSE(fs::exists(dir / "empty.ape"));
    }
}

TEST(Limits, TrailingPartialSampleIsDropped) {
    TempDir dir;
    std::vector<uint8_t> pcm = Sine16(500);
    const std::vector<uint8_t> whole = pcm;
    pcm.push_back(0x12);
    ASSERT_TRUE(Encode(dir / "a.ape", Record(2, 16), 3000, pcm).ok());
    EXPECT_EQ(apetest::FfmpegDecode(dir / "a.ape").pcm, whole);
}

TEST(Lifetime, DestroyWithoutFinishRemovesTheUnfinishedFile) {
    TempDir dir;
    const fs::path file = dir / "out.ape";
    std::vector<uint8_t> pcm = Sine16(2000);
    {
        Handle compressor;
        const WaveRecord format = Record(2, 16);
        ASSERT_EQ(c_APECompress_StartW(compressor.get(), file.c_str(), Format(format), -1, 2000, nullptr, -1),
                  0);
        ASSERT_EQ(c_APECompress_AddData(compressor.get(), pcm.data(), static_cast<int>(pcm.size())), 0);
        EXPECT_TRUE(fs::exists(file));
    }
    EXPECT_FALSE(fs::exists(file));
}

// A full disk, simulated by a file-size limit: past it writes fail (SIGXFSZ ignored) as on a full disk.
class FullDisk : public testing::Test {
  protected:
    void SetUp() override {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous_), 0);
    }
    void TearDown() override {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    void Limit(rlim_t bytes) {
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    }

  private:
    rlimit previous_{};
    void (*previousHandler_)(int) = SIG_DFL;
};

TEST_F(FullDisk, MidFileFailsAddData) {
    TempDir dir;
    const std::vector<uint8_t> noise =
        testsupport::NoisePcm({44100, 2, testsupport::SampleKind::S16}, 1000000);
    Limit(512 * 1024);
    const apetest::EncodeResult r = Encode(dir / "out.ape", Record(2, 16), 1000, noise, {65536});
    EXPECT_EQ(r.add, MAC_ERROR_WRITE);
    EXPECT_NE(r.finish, 0);
    EXPECT_FALSE(fs::exists(dir / "out.ape"));
}

TEST_F(FullDisk, WhileFinishingFailsFinish) {
    TempDir dir;
    // Compressed, this stays in the library's buffer until Finish writes it.
    const std::vector<uint8_t> noise = testsupport::NoisePcm({44100, 2, testsupport::SampleKind::S16}, 50000);
    Limit(64 * 1024);
    const apetest::EncodeResult r = Encode(dir / "out.ape", Record(2, 16), 2000, noise);
    EXPECT_EQ(r.add, 0);
    EXPECT_EQ(r.finish, MAC_ERROR_WRITE);
    EXPECT_FALSE(fs::exists(dir / "out.ape"));
}

TEST(Fallback, LoudStereoAtLevel5000IsRecodedAfterCodedFramesAndLeavesNoTemporaryFile) {
    TempDir dir;
    const testsupport::PcmSpec spec{44100, 2, testsupport::SampleKind::S24};
    // A silent frame is coded at level 5000 while the input arrives; the loud part then sends everything
    // back to be coded at level 4000 from the kept copy of the input.
    std::vector<uint8_t> pcm(size_t{1179648} * 6, 0);
    const std::vector<uint8_t> loud = testsupport::SinePcm(spec, 300000, 60, 0.999);
    pcm.insert(pcm.end(), loud.begin(), loud.end());
    ASSERT_TRUE(Encode(dir / "out.ape", Record(2, 24), 5000, pcm, {1 << 20}).ok());
    EXPECT_EQ(FilesIn(dir.path()), 1u);
    const apetest::Layout layout = apetest::ReadLayout(testsupport::ReadBytes(dir / "out.ape"));
    EXPECT_EQ(layout.level, 4000);
    EXPECT_EQ(layout.totalFrames, 6u);
    const apetest::Decoded decoded = apetest::FfmpegDecode(dir / "out.ape");
    EXPECT_EQ(decoded.error, "");
    EXPECT_TRUE(decoded.pcm == pcm);
}

TEST(Concurrency, CompressorsSideBySideWriteWhatEachWritesAlone) {
    TempDir dir;
    const std::vector<uint8_t> sine = Sine16(100000);
    const std::vector<uint8_t> noise =
        testsupport::NoisePcm({44100, 1, testsupport::SampleKind::S24}, 100000);
    ASSERT_TRUE(Encode(dir / "sine.ape", Record(2, 16), 4000, sine).ok());
    ASSERT_TRUE(Encode(dir / "noise.ape", Record(1, 24), 3000, noise).ok());
    bool ok[2] = {};
    std::thread first([&] { ok[0] = Encode(dir / "sine2.ape", Record(2, 16), 4000, sine, {4099}).ok(); });
    std::thread second([&] { ok[1] = Encode(dir / "noise2.ape", Record(1, 24), 3000, noise, {8191}).ok(); });
    first.join();
    second.join();
    ASSERT_TRUE(ok[0] && ok[1]);
    EXPECT_TRUE(testsupport::ReadBytes(dir / "sine.ape") == testsupport::ReadBytes(dir / "sine2.ape"));
    EXPECT_TRUE(testsupport::ReadBytes(dir / "noise.ape") == testsupport::ReadBytes(dir / "noise2.ape"));
}

}  // namespace
