// TMODReader over a module generated in code: rendering format, truncated progress, rewinding, and that it
// takes the rate from BASS rather than assuming one.
#include <gtest/gtest.h>

#include <cmath>

#include "support/audio_fixtures.h"
#include "platform/bass/bass.h"
#include "decoder_test_util.h"
#include "mod_fixture.h"
#include "decoder/sources.h"

using dectest::ReadAll;
using dectest::Registry;

namespace {

TEST(TrackerSource, RendersAModuleAt44100Hz16Bit) {
    testsupport::TempDir dir;
    const auto path = dir / "tiny.mod";
    testsupport::WriteBytes(path, dectest::TinyModule());
    auto source = Registry().OpenFile(path.string());
    ASSERT_NE(source, nullptr);
    EXPECT_STREQ(source->ClassName(), "TMODReader");
    ASSERT_TRUE(source->IsValid());
    EXPECT_EQ(source->GetFormatText(), "MOD 44100 Hz/2 Ch");
    EXPECT_EQ(source->GetSampleRate(), 44100);
    EXPECT_EQ(source->GetBitsPerSample(), 16);
    EXPECT_EQ(source->GetSampleFormat(), 2);
    EXPECT_EQ(source->GetFormatTag(), 1);
    EXPECT_EQ(source->GetDuration(), 1);  // 1.92 s
    EXPECT_EQ(source->GetCodecName(), "MOD");

    // The module's length as BASS reports it, to recompute each block's progress independently.
    const HMUSIC music = BASS_MusicLoad(FALSE, path.c_str(), 0, 0, 0x80220000, 0);
    ASSERT_NE(music, 0u);
    const auto length = static_cast<int64_t>(BASS_ChannelGetLength(music, BASS_POS_BYTE));
    BASS_MusicFree(music);
    ASSERT_GT(length, 0);
    const double factor = 100.0f / static_cast<float>(length);

    const auto read = ReadAll(*source);
    ASSERT_TRUE(read.ended);
    EXPECT_LE(read.largestBlock, 8192u);
    EXPECT_NEAR(static_cast<double>(read.bytes.size()), 1.92 * 44100 * 4, 44100 * 4 * 0.05);
    uint64_t total = 0;
    bool roundingWouldDiffer = false;
    for (size_t i = 0; i < read.progress.size(); ++i) {
        total += read.blockSizes[i];
        const double exact = static_cast<double>(total) * factor;
        EXPECT_EQ(read.progress[i], static_cast<int>(std::trunc(exact))) << "block " << i;
        roundingWouldDiffer |= std::nearbyint(exact) != std::trunc(exact);
    }
    EXPECT_TRUE(roundingWouldDiffer) << "fixture too regular to tell truncation from rounding";

    // The square wave is audible: not every rendered sample is silence.
    bool nonSilent = false;
    for (uint8_t b : read.bytes) nonSilent |= b != 0;
    EXPECT_TRUE(nonSilent);

    source->Rewind();
    EXPECT_EQ(source->GetProgress(), 0);
    EXPECT_EQ(ReadAll(*source).bytes.size(), read.bytes.size());
}

TEST(TrackerSource, HasNoStreamConstructorAndRefusesNonModules) {
    EXPECT_THROW(TMODReaderClass.Create("x.mod", false), EAbstractError);
    testsupport::TempDir dir;
    testsupport::WriteBytes(dir / "fake.xm", std::vector<uint8_t>(3000, 0x41));
    auto source = Registry().OpenFile((dir / "fake.xm").string());
    ASSERT_NE(source, nullptr);
    EXPECT_FALSE(source->IsValid());
    const uint8_t* data = nullptr;
    uint32_t count = 0;
    EXPECT_EQ(source->ReadBlock(data, count), 1);
}

}  // namespace
