// Streams decoding on two threads while a third asks their length, positions and info: the data stays
// FFmpeg's decode and, under ThreadSanitizer (scripts/tsan.sh), no race is reported.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ffdeck/ffdeck.h"
#include "ffdeck_fixtures.h"

using namespace ffdecktest;
using testsupport::PcmSpec;
using testsupport::SampleKind;

namespace {

class Concurrency : public testing::Test {
  protected:
    void SetUp() override {
        EnsureHost();
        auto wav = MakeNoiseWav(dir_ / "src.wav", PcmSpec{44100, 2, SampleKind::S16}, 44100 * 4);
        files_[0] = dir_ / "a.flac";
        files_[1] = dir_ / "b.aac";
        FfmpegConvert(wav, "-c:a flac", files_[0]);
        FfmpegConvert(wav, "-c:a aac -b:a 128k", files_[1]);
        for (int i = 0; i < 2; ++i) expected_[i] = testsupport::FfmpegDecode(files_[i], "f32le");
    }

    testsupport::TempDir dir_;
    std::filesystem::path files_[2];
    std::vector<uint8_t> expected_[2];
};

TEST_F(Concurrency, TwoDecodingThreadsAndAnAskingThreadThroughTheHost) {
    HSTREAM h[2];
    for (int i = 0; i < 2; ++i) {
        h[i] = BASS_StreamCreateFile(FALSE, files_[i].c_str(), 0, 0, kFloatFlags);
        ASSERT_NE(h[i], 0u);
        // The program asks the length right after creation; for ADTS this is the prescan.
        ASSERT_NE(BASS_ChannelGetLength(h[i], BASS_POS_BYTE), static_cast<QWORD>(-1));
    }
    std::atomic<int> running{2};
    std::vector<uint8_t> got[2];
    std::thread readers[2];
    for (int i = 0; i < 2; ++i) {
        readers[i] = std::thread([&, i] {
            got[i] = ReadAll(h[i], 4096);
            --running;
        });
    }
    std::thread asker([&] {
        while (running > 0) {
            for (HSTREAM s : h) {
                BASS_ChannelGetLength(s, BASS_POS_BYTE);
                BASS_ChannelGetPosition(s, BASS_POS_BYTE);
                BASS_CHANNELINFO info;
                BASS_ChannelGetInfo(s, &info);
            }
        }
    });
    for (auto& t : readers) t.join();
    asker.join();
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(got[i] == expected_[i]) << files_[i];
        BASS_StreamFree(h[i]);
    }
}

// The host serialises calls per stream, so the add-on's own lock is exercised by calling its entries
// directly, as another host may.
TEST_F(Concurrency, AddonEntriesCalledFromThreadsAtOnce) {
    ffdeck::StreamInstance instances[2];
    for (int i = 0; i < 2; ++i) {
        instances[i].decoder = std::make_unique<ffdeck::DecoderState>();
        ASSERT_TRUE(ffdeck::OpenDecoder(*instances[i].decoder, files_[i].c_str(), nullptr));
        instances[i].floatOutput = BASS_SAMPLE_FLOAT;
        instances[i].prescan = BASS_STREAM_PRESCAN;
    }
    std::atomic<int> running{2};
    std::vector<uint8_t> got[2];
    std::thread readers[2];
    for (int i = 0; i < 2; ++i) {
        readers[i] = std::thread([&, i] {
            std::vector<uint8_t> buffer(4096);
            DWORD n;
            while ((n = ffdeck::StreamProc(1, buffer.data(), 4096, &instances[i])) != BASS_STREAMPROC_END) {
                got[i].insert(got[i].end(), buffer.begin(), buffer.begin() + n);
            }
            --running;
        });
    }
    std::thread asker([&] {
        while (running > 0) {
            for (auto& inst : instances) {
                QWORD length = ffdeck::GetLength(&inst, BASS_POS_BYTE);
                if (length != static_cast<QWORD>(-1) && length > 0)
                    ffdeck::CanSetPosition(&inst, length - 4, 0);
                BASS_CHANNELINFO info;
                ffdeck::GetInfo(&inst, &info);
            }
        }
    });
    for (auto& t : readers) t.join();
    asker.join();
    // FLAC states its length: its data is untouched by the asking thread.
    EXPECT_TRUE(got[0] == expected_[0]);
    // ADTS lengths are scanned on the first question, wherever reading stands; the data continues from
    // there rather than restarting.
    EXPECT_LT(got[1].size(), expected_[1].size() + 4 * 8192);
    for (auto& inst : instances) ffdeck::CloseDecoder(*inst.decoder);
}

}  // namespace
