// The base tag writing of the writers, through libtagwrapper.so, read back by ffprobe; and the writers
// whose files carry no tags.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>

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

// A small WAV or AIFF header in front of `dataBytes` of sound that the file does not really hold: the rest
// is a hole, so a file of nearly 4 GiB costs no disk.
std::filesystem::path SparseFile(const std::filesystem::path& path, bool aiff, uint64_t dataBytes) {
    const testsupport::PcmSpec spec{44100, 2, testsupport::SampleKind::S16};
    std::vector<uint8_t> bytes = aiff ? testsupport::AiffFile(spec, std::vector<uint8_t>(4))
                                      : testsupport::WavFile(spec, std::vector<uint8_t>(4));
    const bool big = aiff;
    auto put32 = [&](size_t at, uint64_t value) {
        for (int i = 0; i < 4; ++i)
            bytes[at + static_cast<size_t>(big ? 3 - i : i)] = static_cast<uint8_t>(value >> (8 * i));
    };
    size_t soundAt = 0;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const uint32_t size =
            big ? uint32_t{bytes[at + 4]} << 24 | bytes[at + 5] << 16 | bytes[at + 6] << 8 | bytes[at + 7]
                : bytes[at + 4] | bytes[at + 5] << 8 | bytes[at + 6] << 16 | uint32_t{bytes[at + 7]} << 24;
        if (std::memcmp(&bytes[at], big ? "SSND" : "data", 4) == 0) {
            soundAt = at;
            break;
        }
        if (std::memcmp(&bytes[at], "COMM", 4) == 0) put32(at + 10, dataBytes / 4);  // sample frames
        at += 8 + size + (size & 1);
    }
    EXPECT_GT(soundAt, 0u);
    const uint64_t headerBytes = soundAt + 8 + (aiff ? 8 : 0);  // SSND's offset and block size
    put32(soundAt + 4, dataBytes + (aiff ? 8 : 0));
    put32(4, headerBytes + dataBytes - 8);
    bytes.resize(headerBytes);
    testsupport::WriteBytes(path, bytes);
    std::filesystem::resize_file(path, headerBytes + dataBytes);
    return path;
}

// The first bytes of a file: the header of a sparse one, without reading its gigabytes.
std::vector<uint8_t> Head(const std::filesystem::path& path) {
    std::vector<uint8_t> bytes(256);
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

// TagLib writes 32-bit sizes: tags that would take a WAV or AIFF file past them, and any tags for an RF64
// file (TagLib would write them over its data chunk), are not written, and the file stays as it was.
TEST_F(BaseWriteTags, TagsThatWouldBreakALongFileAreLeftOut) {
    TempDir dir;
    for (const EncoderClass* writer : {&WAVwriterClass, &AIFwriterClass}) {
        SCOPED_TRACE(writer->Name());
        const bool aiff = writer == &AIFwriterClass;
        // Room for no tag at all, and room for plenty (the control: the limit is not a blanket refusal).
        const auto full = SparseFile(dir / ("full." + writer->GetExtension()), aiff, 0xFFFFFFF0ull - 120);
        const auto roomy =
            SparseFile(dir / ("roomy." + writer->GetExtension()), aiff, 0xFFFFFFF0ull - 1000000);
        const auto fullSize = std::filesystem::file_size(full);
        const std::vector<uint8_t> head = Head(full);
        EXPECT_FALSE(writer->WriteTags(full.string(), kFull));
        EXPECT_EQ(std::filesystem::file_size(full), fullSize);
        EXPECT_TRUE(Head(full) == head);

        const auto roomySize = std::filesystem::file_size(roomy);
        EXPECT_TRUE(writer->WriteTags(roomy.string(), kFull));
        EXPECT_GT(std::filesystem::file_size(roomy), roomySize);
        EXPECT_EQ(ProbeTags(roomy)["title"], kFull.title);
        std::filesystem::remove(full);
        std::filesystem::remove(roomy);
    }

    // A WAV writer output that became RF64 under a lowered limit.
    setenv("WAVETROVE_SIZE_FIELD_LIMIT", "1000", 1);
    const auto rf64 = WriteAudio(WAVwriterClass, dir, "rf64");
    unsetenv("WAVETROVE_SIZE_FIELD_LIMIT");
    const std::vector<uint8_t> before = testsupport::ReadBytes(rf64);
    ASSERT_EQ(std::string(before.begin(), before.begin() + 4), "RF64");
    EXPECT_FALSE(WAVwriterClass.WriteTags(rf64.string(), kFull));
    EXPECT_TRUE(testsupport::ReadBytes(rf64) == before);
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
