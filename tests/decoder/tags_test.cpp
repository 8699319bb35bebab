// Tags read through the tag library (files tagged by ffmpeg), the frames for untagged, unopenable and
// tag-less formats, a missing tag library, and the RealAudio source's tags from the decoder's tag block.
#include <gtest/gtest.h>

#include "support/audio_fixtures.h"
#include "decoder_test_util.h"
#include "decoder/sources.h"
#include "bindings/taglib.h"

using dectest::Registry;
using testsupport::PcmSpec;
using testsupport::SampleKind;

namespace {

const TagFrame kEmpty{};
const TagFrame kNoTagData{"", "", "", "0", "0", ""};

class TaggedFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        const PcmSpec spec{44100, 2, SampleKind::S16};
        testsupport::WriteBytes(dir_ / "plain.wav",
                                testsupport::WavFile(spec, testsupport::SinePcm(spec, 44100)));
    }
    std::filesystem::path Tagged(const std::string& extension, const std::string& codec) {
        const auto out = dir_ / ("tagged." + extension);
        dectest::FfmpegConvert(dir_ / "plain.wav", out,
                               "-c:a " + codec +
                                   " -metadata title='Grüße aus Köln' -metadata artist='The Artist'"
                                   " -metadata album='An Album' -metadata track=7 -metadata date=1999"
                                   " -metadata genre=Jazz");
        return out;
    }
    testsupport::TempDir dir_;
};

TEST_F(TaggedFiles, SixFieldsReadBack) {
    const TagFrame expected{"Grüße aus Köln", "The Artist", "An Album", "7", "1999", "Jazz"};
    const std::pair<const char*, const char*> formats[] = {
        {"flac", "flac"}, {"mp3", "libmp3lame"}, {"ogg", "libvorbis"}};
    for (const auto& [extension, codec] : formats) {
        const auto path = Tagged(extension, codec);
        auto source = Registry().OpenFile(path.string());
        ASSERT_NE(source, nullptr) << extension;
        TagFrame tags{"stale", "stale", "stale", "stale", "stale", "stale"};
        source->GetTags(tags);
        EXPECT_EQ(tags, expected) << extension;
    }
}

TEST_F(TaggedFiles, UntaggedFileGivesEmptyTextsAndZeroNumbers) {
    auto source = Registry().OpenFile((dir_ / "plain.wav").string());
    ASSERT_NE(source, nullptr);
    TagFrame tags{"x", "x", "x", "x", "x", "x"};
    source->GetTags(tags);
    EXPECT_EQ(tags, kNoTagData);
}

TEST_F(TaggedFiles, FileTheLibraryCannotOpenGivesAnEmptyFrame) {
    auto source = Registry().OpenFile((dir_ / "missing.flac").string());
    ASSERT_NE(source, nullptr);
    TagFrame tags{"x", "x", "x", "x", "x", "x"};
    source->GetTags(tags);
    EXPECT_EQ(tags, kEmpty);
}

TEST_F(TaggedFiles, SourcesWithoutTagSupportClearTheFrame) {
    // Content decides the decoder, so a tagged FLAC named .adx or .amr still opens; its tags must not leak.
    const auto flac = Tagged("flac", "flac");
    for (const char* name : {"renamed.adx", "renamed.amr"}) {
        std::filesystem::copy_file(flac, dir_ / name);
        auto source = Registry().OpenFile((dir_ / name).string());
        ASSERT_NE(source, nullptr);
        TagFrame tags{"x", "x", "x", "x", "x", "x"};
        source->GetTags(tags);
        EXPECT_EQ(tags, kEmpty) << name;
    }
}

TEST_F(TaggedFiles, MissingTagLibraryGivesAnEmptyFrame) {
    const auto path = Tagged("flac", "flac");
    taglib::Unload();
    ASSERT_FALSE(taglib::Load("libwavetrove-no-such-tag-library.so"));
    auto source = Registry().OpenFile(path.string());
    ASSERT_NE(source, nullptr);
    TagFrame tags{"x", "x", "x", "x", "x", "x"};
    source->GetTags(tags);
    EXPECT_EQ(tags, kEmpty);
    ASSERT_TRUE(taglib::Load());  // later tests need it back
    source->GetTags(tags);
    EXPECT_EQ(tags.artist, "The Artist");
}

// The RealAudio/TwinVQ source reads the decoder's key=value block; an Ogg stream supplies such a block, and
// the decoder is chosen by content, so a Vorbis file named .ra exercises it.
TEST_F(TaggedFiles, RealAudioTagsComeFromTheDecoderBlock) {
    const auto out = dir_ / "voice.ra";
    dectest::FfmpegConvert(dir_ / "plain.wav", out,
                           "-f ogg -c:a libvorbis -metadata title='  Padded Title ' -metadata author=Someone"
                           " -metadata Album=ignored-by-case -metadata genre=Rock");
    auto source = Registry().OpenFile(out.string());
    ASSERT_NE(source, nullptr);
    EXPECT_STREQ(source->ClassName(), "TVQFReader");
    ASSERT_TRUE(source->IsValid());
    TagFrame tags;
    source->GetTags(tags);
    EXPECT_EQ(tags, (TagFrame{"Padded Title", "Someone", "", "0", "Unknown", "Unknown"}));

    auto untagged = TVQFReaderClass.CreateFromFile((dir_ / "missing.ra").string());
    untagged->GetTags(tags);
    EXPECT_EQ(tags, (TagFrame{"", "", "", "0", "Unknown", "Unknown"}));
}

}  // namespace
