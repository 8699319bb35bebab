// The shared records and the class operations every source class gets from its format table.
#include <gtest/gtest.h>

#include <cstring>

#include "decoder/reader.h"

namespace {

struct WaveCase {
    uint16_t tag;
    uint32_t rate;
    uint16_t channels;
    uint16_t bits;
    uint16_t blockAlign;
    uint32_t avgBytes;
    int code;
};

class WaveFormatTable : public ::testing::TestWithParam<WaveCase> {};

TEST_P(WaveFormatTable, FieldsAndSampleFormatCode) {
    const WaveCase& c = GetParam();
    const WAVEFORMATEX f = MakeWaveFormat(c.tag, c.rate, c.channels, c.bits);
    EXPECT_EQ(f.wFormatTag, c.tag);
    EXPECT_EQ(f.nChannels, c.channels);
    EXPECT_EQ(f.nSamplesPerSec, c.rate);
    EXPECT_EQ(f.wBitsPerSample, c.bits);
    EXPECT_EQ(f.nBlockAlign, c.blockAlign);
    EXPECT_EQ(f.nAvgBytesPerSec, c.avgBytes);
    EXPECT_EQ(f.cbSize, 0);
    EXPECT_EQ(SampleFormatCode(f), c.code);
}

INSTANTIATE_TEST_SUITE_P(
    Records, WaveFormatTable,
    ::testing::Values(WaveCase{1, 44100, 2, 16, 4, 176400, 2},
                      WaveCase{1, 44100, 2, 12, 2, 88200, -1},  // 12 div 8 = 1
                      WaveCase{1, 8000, 1, 8, 1, 8000, 1}, WaveCase{1, 96000, 2, 24, 6, 576000, 4},
                      WaveCase{1, 48000, 6, 32, 24, 1152000, 8}, WaveCase{3, 48000, 2, 32, 8, 384000, 16},
                      WaveCase{3, 44100, 2, 64, 16, 705600, -1}, WaveCase{1, 44100, 2, 20, 4, 176400, -1}));

TEST(WaveFormat, IsThePacked18ByteLittleEndianLayout) {
    const WAVEFORMATEX f = MakeWaveFormat(3, 0x0001F400, 2, 32);
    uint8_t bytes[18];
    std::memcpy(bytes, &f, sizeof bytes);
    const uint8_t expected[18] = {3, 0, 2, 0, 0x00, 0xF4, 0x01, 0, 0x00, 0xA0, 0x0F, 0, 8, 0, 32, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(bytes, expected, sizeof bytes));
}

TEST(TagFrameRecord, ClearEmptiesAllSixFields) {
    TagFrame tags{"t", "a", "al", "7", "1999", "g"};
    TagFrame copy = tags;  // copied by value: clearing one leaves the other
    tags.Clear();
    EXPECT_EQ(tags, TagFrame{});
    EXPECT_EQ(copy.year, "1999");
}

TEST(ExtractFileExt, TakesTheLastDotOfTheLastComponent) {
    EXPECT_EQ(ExtractFileExt("/music/Song.MP3"), ".MP3");
    EXPECT_EQ(ExtractFileExt("/music/a.b/README"), "");
    EXPECT_EQ(ExtractFileExt("track.mp+"), ".mp+");
    EXPECT_EQ(ExtractFileExt("x.tar.gz"), ".gz");
    EXPECT_EQ(ExtractFileExt("name."), ".");
    EXPECT_EQ(ExtractFileExt(""), "");
}

// Test-local classes: one with the MP3 source's shape, one whose GetFormats answers false.
class TwoNameClass final : public DecoderClass {
  public:
    TwoNameClass() : DecoderClass("TTwoNames") {}
    bool GetFormats(TFormats& formats) const override {
        formats = {{"MP3 Files", ".mp3"}, {"Other", ".oth"}, {"MP3 Files", ".mp2"}};
        return true;
    }
};

class NoFormatsClass final : public DecoderClass {
  public:
    NoFormatsClass() : DecoderClass("TNoFormats") {}
    bool GetFormats(TFormats& formats) const override {
        formats = {{"Hidden", ".hid"}};  // left behind on purpose: the answer false must still win
        return false;
    }
};

TEST(DecoderClassOperations, MaskAndFilterFollowFirstAppearanceOfEachName) {
    const TwoNameClass cls;
    EXPECT_EQ(cls.GetExtensionMask(), "*.mp3;*.oth;*.mp2");
    EXPECT_EQ(cls.GetFilterString(), "MP3 Files (*.mp3;*.mp2)|*.mp3;*.mp2|Other (*.oth)|*.oth");
}

TEST(DecoderClassOperations, SupportsExtensionIsExactAndCaseSensitive) {
    const TwoNameClass cls;
    EXPECT_TRUE(cls.SupportsExtension(".mp2"));
    EXPECT_FALSE(cls.SupportsExtension(".MP3"));
    EXPECT_FALSE(cls.SupportsExtension("mp3"));
    EXPECT_FALSE(cls.SupportsExtension(".mp"));
    EXPECT_FALSE(cls.SupportsExtension(""));
}

TEST(DecoderClassOperations, ClassWithoutFormatsOffersNothing) {
    const NoFormatsClass cls;
    EXPECT_EQ(cls.GetExtensionMask(), "");
    EXPECT_EQ(cls.GetFilterString(), "");
    EXPECT_FALSE(cls.SupportsExtension(".hid"));
    EXPECT_FALSE(cls.SupportsExtension(""));
}

TEST(DecoderClassOperations, BaseClassReadsNothingAndCannotConstruct) {
    const DecoderClass base("TDecoder");
    TFormats formats = {{"x", ".x"}};
    EXPECT_FALSE(base.GetFormats(formats));
    EXPECT_TRUE(formats.empty());
    EXPECT_TRUE(base.CanCopyTags());
    EXPECT_THROW(base.CreateFromFile("a.wav"), EAbstractError);
    EXPECT_THROW(base.Create("a.wav", true), EAbstractError);
}

}  // namespace
