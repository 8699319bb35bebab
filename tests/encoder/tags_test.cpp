// The base tag writing of the writers, through libtagwrapper.so, read back by ffprobe; and the writers
// whose files carry no tags.
#include <gtest/gtest.h>

#include <filesystem>

#include "encoder_test_support.h"
#include "bindings/taglib.h"
#include "encoder/writers.h"

namespace {

using testsupport::TempDir;

// ffprobe's container tags, keys in lower case.
std::map<std::string, std::string> ProbeTags(const std::filesystem::path& file) {
    const auto result =
        testsupport::RunCommand("ffprobe -v error -show_entries format_tags -of default=nw=1 " +
                                testsupport::ShellQuote(file.string()));
    std::map<std::string, std::string> tags;
    size_t start = 0;
    while (start < result.out.size()) {
        size_t end = result.out.find('\n', start);
        if (end == std::string::npos) end = result.out.size();
        std::string line = result.out.substr(start, end - start);
        if (line.rfind("TAG:", 0) == 0) line.erase(0, 4);
        const size_t eq = line.find('=');
        if (eq != std::string::npos) {
            std::string key = line.substr(0, eq);
            for (char& ch : key) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            tags[key] = line.substr(eq + 1);
        }
        start = end + 1;
    }
    return tags;
}

// A finished, untagged file of the writer's format: one second of 16-bit sine.
std::filesystem::path WriteAudio(const EncoderClass& writerClass, const TempDir& dir,
                                 const std::string& stem) {
    const auto writer = writerClass.Create((dir / (stem + "." + writerClass.GetExtension())).string(),
                                           MakeWaveFormat(WAVE_FORMAT_PCM, 44100, 2, 16));
    const std::vector<uint8_t> pcm = testsupport::SinePcm({44100, 2, testsupport::SampleKind::S16}, 44100);
    std::vector<float> floats;
    for (size_t i = 0; i + 1 < pcm.size(); i += 2) {
        floats.push_back(static_cast<int16_t>(pcm[i] | pcm[i + 1] << 8) / 32768.0f);
    }
    WriteFloats(*writer, floats);
    return writer->GetFileName();
}

const TagFrame kFull = {"Título – test", "Ärtist", "Album", "7", "1999", "Rock"};

class BaseWriteTags : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(taglib::Load()) << "libtagwrapper.so is needed next to the tests";
    }
    static void TearDownTestSuite() { taglib::Unload(); }
    void SetUp() override { ASSERT_TRUE(taglib::IsLoaded()); }
};

TEST_F(BaseWriteTags, WritesEveryFieldIntoWavAndAiff) {
    TempDir dir;
    for (const EncoderClass* writer : {&WAVwriterClass, &AIFwriterClass}) {
        SCOPED_TRACE(writer->Name());
        const auto file = WriteAudio(*writer, dir, "tagged");
        EXPECT_TRUE(writer->WriteTags(file.string(), kFull));
        const auto tags = ProbeTags(file);
        EXPECT_EQ(tags.count("title") ? tags.at("title") : "", kFull.title);
        EXPECT_EQ(tags.count("artist") ? tags.at("artist") : "", kFull.artist);
        EXPECT_EQ(tags.count("album") ? tags.at("album") : "", kFull.album);
        EXPECT_EQ(tags.count("track") ? tags.at("track") : "", "7");
        EXPECT_EQ(tags.count("date") ? tags.at("date") : "", "1999");
        EXPECT_EQ(tags.count("genre") ? tags.at("genre") : "", kFull.genre);
    }
}

// The header an odd-sized 8-bit AIFF gets after close must still be one TagLib extends correctly.
TEST_F(BaseWriteTags, OddSized8BitAiffKeepsItsSamplesWhenTagged) {
    TempDir dir;
    ConfigGuard guard;
    Config.aifbps = 1;
    std::string name;
    {
        const auto writer =
            AIFwriterClass.Create((dir / "odd.aiff").string(), MakeWaveFormat(WAVE_FORMAT_PCM, 8000, 1, 8));
        const std::vector<float> ramp = [] {
            std::vector<float> values;
            for (int b = 1; b < 256; b += 2) values.push_back((b - 128) / 128.0f);  // 128 samples...
            values.push_back(0.5f);                                                 // ...and one more
            return values;
        }();
        WriteFloats(*writer, ramp);
        name = writer->GetFileName();
    }
    EXPECT_TRUE(AIFwriterClass.WriteTags(name, kFull));
    EXPECT_EQ(ProbeTags(name)["title"], kFull.title);
    const std::vector<uint8_t> decoded = testsupport::FfmpegDecode(name, "u8");
    ASSERT_EQ(decoded.size(), 129u);
    EXPECT_EQ(decoded.front(), 1);
    EXPECT_EQ(decoded[127], 255);
    EXPECT_EQ(decoded.back(), 192);
}

struct NumberCase {
    const char* track;
    const char* year;
    const char* storedTrack;  // "" = no track left in the file
    const char* storedYear;
};

class BaseWriteTagsNumbers : public BaseWriteTags, public testing::WithParamInterface<NumberCase> {};

// Each case overwrites a file that already holds track 7 and year 1999, so a number that is not written
// at all shows up as the old value.
TEST_P(BaseWriteTagsNumbers, TrackAndYearAreDecimalAboveZeroOrNone) {
    const NumberCase& c = GetParam();
    TempDir dir;
    const auto file = WriteAudio(WAVwriterClass, dir, "numbers");
    ASSERT_TRUE(WAVwriterClass.WriteTags(file.string(), kFull));
    TagFrame frame = kFull;
    frame.track = c.track;
    frame.year = c.year;
    EXPECT_TRUE(WAVwriterClass.WriteTags(file.string(), frame));
    auto tags = ProbeTags(file);
    EXPECT_EQ(tags["track"], c.storedTrack);
    EXPECT_EQ(tags["date"], c.storedYear);
    EXPECT_EQ(tags["title"], kFull.title);
}

INSTANTIATE_TEST_SUITE_P(Table, BaseWriteTagsNumbers,
                         testing::Values(NumberCase{"3/12", "Unknown", "", ""}, NumberCase{"-2", "0", "", ""},
                                         NumberCase{"7", "2003", "7", "2003"},
                                         NumberCase{"+12", "", "12", ""},
                                         NumberCase{" 5", "99999999999", "", ""}));

TEST_F(BaseWriteTags, FileTheTagLibraryCannotOpenIsLeftAloneAndAnswersTrue) {
    TempDir dir;
    const auto notAudio = dir / "notes.xyz";
    testsupport::WriteBytes(notAudio, {'n', 'o', 't', ' ', 'a', 'u', 'd', 'i', 'o'});
    const auto before = testsupport::Md5Hex(testsupport::ReadBytes(notAudio));
    EXPECT_TRUE(WAVwriterClass.WriteTags(notAudio.string(), kFull));
    EXPECT_EQ(testsupport::Md5Hex(testsupport::ReadBytes(notAudio)), before);

    const auto missing = dir / "missing.wav";
    EXPECT_TRUE(WAVwriterClass.WriteTags(missing.string(), kFull));
    EXPECT_FALSE(std::filesystem::exists(missing));
}

// GSM and AMR files carry no tags: their WriteTags must not touch even a file the tag library could tag.
TEST_F(BaseWriteTags, WritersWithoutTagsDoNothing) {
    TempDir dir;
    const auto file = WriteAudio(WAVwriterClass, dir, "untouched");
    const auto before = testsupport::Md5Hex(testsupport::ReadBytes(file));
    for (const EncoderClass* writer : {&GSMwriterClass, &AMRwriterClass}) {
        SCOPED_TRACE(writer->Name());
        EXPECT_TRUE(writer->WriteTags(file.string(), kFull));
        EXPECT_EQ(testsupport::Md5Hex(testsupport::ReadBytes(file)), before);
    }
}

TEST(TagNumber, ParsesWholeDecimalIntegersAboveZero) {
    const std::pair<const char*, unsigned> cases[] = {
        {"7", 7},    {"0012", 12},   {"+3", 3}, {"2147483647", 2147483647u}, {"0", 0},  {"-2", 0},
        {"3/12", 0}, {"Unknown", 0}, {"", 0},   {"2147483648", 0},           {"7 ", 0}, {"+", 0},
        {"+-1", 0},  {"0x10", 0},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(TagNumber(text), value) << '"' << text << '"';
}

}  // namespace
