// The format decisions of the libsndfile writers: the input format asked of the pipeline, the stored bit
// depth chosen from the source, and the nearest-entry walk they rely on.
#include <gtest/gtest.h>

#include <sndfile.h>

#include "encoder_test_support.h"
#include "encoder/sndfile_writer.h"
#include "encoder/writers.h"

namespace {

struct InputFormatCase {
    int srate;
    int mode;
    uint32_t sourceRate;
    uint16_t sourceChannels;
    uint32_t rate;
    uint16_t channels;
};

class PcmWriterInputFormat : public testing::TestWithParam<InputFormatCase> {};

// WAV and AIFF read the same settings layout, each from its own fields; both are checked with the other
// writer's fields set to something else, so a writer reading the wrong fields fails.
TEST_P(PcmWriterInputFormat, FollowsRateAndModeSettings) {
    const InputFormatCase& c = GetParam();
    const WAVEFORMATEX source = MakeWaveFormat(WAVE_FORMAT_PCM, c.sourceRate, c.sourceChannels, 16);
    ConfigGuard guard;
    for (const EncoderClass* writer : {&WAVwriterClass, &AIFwriterClass}) {
        SCOPED_TRACE(writer->Name());
        const bool wav = writer == &WAVwriterClass;
        Config.wavsrate = wav ? c.srate : 3;
        Config.wavmode = wav ? c.mode : 1;
        Config.aifsrate = wav ? 7 : c.srate;
        Config.aifmode = wav ? 2 : c.mode;
        const WAVEFORMATEX wanted = writer->GetInputFormat(source);
        EXPECT_EQ(wanted.wFormatTag, WAVE_FORMAT_IEEE_FLOAT);
        EXPECT_EQ(wanted.wBitsPerSample, 32);
        EXPECT_EQ(wanted.nSamplesPerSec, c.rate);
        EXPECT_EQ(wanted.nChannels, c.channels);
        EXPECT_EQ(wanted.nBlockAlign, c.channels * 4);
        EXPECT_EQ(wanted.nAvgBytesPerSec, c.rate * c.channels * 4);
        EXPECT_EQ(SampleFormatCode(wanted), SAMPLE_FORMAT_FLOAT);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, PcmWriterInputFormat,
    testing::Values(InputFormatCase{0, 0, 48000, 2, 48000, 2},    // same as the source
                    InputFormatCase{0, 0, 22050, 1, 22050, 1},    //
                    InputFormatCase{1, 0, 44100, 2, 96000, 2},    // first rate of the list
                    InputFormatCase{5, 2, 48000, 2, 44100, 1},    // 44100 Hz mono from 48 kHz stereo
                    InputFormatCase{12, 1, 44100, 1, 8000, 2},    // last rate; mono to stereo
                    InputFormatCase{8, 3, 44100, 2, 22050, 1},    // any mode other than 0 and 1 is mono
                    InputFormatCase{11, -1, 44100, 2, 11025, 1},  //
                    InputFormatCase{13, 0, 32000, 2, 32000, 2},   // past the list: the source's rate
                    InputFormatCase{-1, 0, 32000, 2, 32000, 2}));

TEST(GsmWriterInputFormat, IsAlways8000HzMonoFloat) {
    for (const auto& source :
         {MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16), MakeWaveFormat(WAVE_FORMAT_IEEE_FLOAT, 96000, 1, 32),
          MakeWaveFormat(WAVE_FORMAT_PCM, 8000, 1, 8)}) {
        const WAVEFORMATEX wanted = GSMwriterClass.GetInputFormat(source);
        EXPECT_EQ(wanted.wFormatTag, WAVE_FORMAT_IEEE_FLOAT);
        EXPECT_EQ(wanted.nSamplesPerSec, 8000u);
        EXPECT_EQ(wanted.nChannels, 1);
        EXPECT_EQ(wanted.wBitsPerSample, 32);
    }
}

struct BitsCase {
    int setting;
    uint16_t sourceBits;
    uint16_t sourceTag;
    int index;
    int wavFormat;
    int aiffFormat;
};

class SndfileBitDepth : public testing::TestWithParam<BitsCase> {};

TEST_P(SndfileBitDepth, ChoosesIndexAndLibsndfileFormat) {
    const BitsCase& c = GetParam();
    const WAVEFORMATEX source = MakeWaveFormat(c.sourceTag, 44100, 2, c.sourceBits);
    const int index = SndfileBitsIndex(c.setting, source);
    EXPECT_EQ(index, c.index);
    EXPECT_EQ(SndfileFormat(SndfileContainer::WAV, index), c.wavFormat);
    EXPECT_EQ(SndfileFormat(SndfileContainer::AIFF, index), c.aiffFormat);
}

INSTANTIATE_TEST_SUITE_P(
    FromSource, SndfileBitDepth,
    testing::Values(BitsCase{0, 8, 1, 1, 0x010005, 0x020005},    //
                    BitsCase{0, 12, 1, 1, 0x010005, 0x020005},   // tie between 8 and 16: the lower
                    BitsCase{0, 13, 1, 2, 0x010002, 0x020002},   //
                    BitsCase{0, 16, 1, 2, 0x010002, 0x020002},   //
                    BitsCase{0, 20, 1, 2, 0x010002, 0x020002},   // tie: 16
                    BitsCase{0, 24, 1, 3, 0x130003, 0x020003},   // 24-bit needs WAVE_FORMAT_EXTENSIBLE
                    BitsCase{0, 28, 1, 3, 0x130003, 0x020003},   // tie: 24
                    BitsCase{0, 32, 1, 5, 0x130006, 0x020006},   // exactly 32 bits: float, integer or not
                    BitsCase{0, 32, 3, 5, 0x130006, 0x020006},   //
                    BitsCase{0, 40, 1, 4, 0x130004, 0x020004},   // above 32: 32-bit integer
                    BitsCase{0, 64, 3, 4, 0x130004, 0x020004},   //
                    BitsCase{0, 0, 1, 1, 0x010005, 0x020005}));  // no depth reported: the first entry

INSTANTIATE_TEST_SUITE_P(FromSetting, SndfileBitDepth,
                         testing::Values(BitsCase{1, 24, 1, 1, 0x010005, 0x020005},
                                         BitsCase{2, 32, 3, 2, 0x010002, 0x020002},
                                         BitsCase{3, 16, 1, 3, 0x130003, 0x020003},
                                         BitsCase{4, 16, 1, 4, 0x130004, 0x020004},
                                         BitsCase{5, 8, 1, 5, 0x130006, 0x020006},
                                         // Not an entry of the list: no subtype, so the open fails.
                                         BitsCase{6, 16, 1, 6, SF_FORMAT_WAV, SF_FORMAT_AIFF}));

TEST(SndfileBitDepth, GsmIsRawGsm610) {
    EXPECT_EQ(kGsmFormat, SF_FORMAT_RAW | SF_FORMAT_GSM610);
}

TEST(NearestEntry, WalksFromTheFirstEntryWhileTheNextIsStrictlyNearer) {
    const int rates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000};
    struct {
        int value;
        size_t index;
    } const cases[] = {
        {200000, 0}, {96000, 0}, {92100, 0} /* tie: the earlier entry */,
        {92099, 1},  {44100, 4}, {46050, 3} /* tie */,
        {8000, 11},  {0, 11},
    };
    for (const auto& c : cases) EXPECT_EQ(NearestEntry(rates, c.value), c.index) << c.value;

    // The walk stops at the first local minimum, not at the nearest entry of the whole table.
    const int unsorted[] = {48000, 24000, 44100};
    EXPECT_EQ(NearestEntry(unsorted, 44100), 0u);
}

}  // namespace
