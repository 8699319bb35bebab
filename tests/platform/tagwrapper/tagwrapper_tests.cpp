// Tag wrapper tests through the run-time binding, the way the program reads, writes and copies tags.
// Audio files and their source tags come from the ffmpeg tool; ffprobe checks what we write.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/audio_fixtures.h"
#include "bindings/taglib.h"
#include "platform/mac/macdll.h"

namespace {

using testsupport::RunCommand;
using testsupport::ShellQuote;
using testsupport::TempDir;
namespace fs = std::filesystem;

struct Fields {
    std::string title, artist, album, genre;
    unsigned track = 0, year = 0;
};

bool operator==(const Fields& a, const Fields& b) {
    return a.title == b.title && a.artist == b.artist && a.album == b.album && a.genre == b.genre &&
           a.track == b.track && a.year == b.year;
}

std::ostream& operator<<(std::ostream& out, const Fields& f) {
    return out << "{" << f.title << "|" << f.artist << "|" << f.album << "|" << f.genre << "|" << f.track
               << "|" << f.year << "}";
}

const Fields kUnicode{"Grüße aus Köln – 東京", "Søren Ångström", "Ünïcødé ★", "Kraut­rock", 7, 1999};

// A short stereo tone in the container the extension names, with ffmpeg's own metadata stripped and
// `metadata` ("-metadata k=v ..." arguments) written instead.
fs::path MakeAudio(const TempDir& dir, const std::string& name, const std::string& metadata = "") {
    const fs::path path = dir / name;
    const std::string cmd =
        "ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:duration=0.3 -ac 2 "
        "-map_metadata -1 -fflags +bitexact " +
        metadata + " " + ShellQuote(path.string());
    if (RunCommand(cmd).status != 0) ADD_FAILURE() << "ffmpeg failed: " << cmd;
    return path;
}

// A short stereo tone as Monkey's Audio, which ffmpeg cannot write: through our own compressor.
fs::path MakeApe(const TempDir& dir, const std::string& name) {
    const fs::path path = dir / name;
#pragma pack(push, 1)
    struct {
        uint16_t tag = 1, channels = 2;
        uint32_t rate = 44100, bytesPerSecond = 44100 * 4;
        uint16_t align = 4, bits = 16, extra = 0;
    } format;
#pragma pack(pop)
    std::vector<uint8_t> pcm = testsupport::SinePcm({}, 13230);
    APE_COMPRESS_HANDLE compressor = c_APECompress_Create(nullptr);
    const bool ok =
        c_APECompress_StartW(compressor, path.c_str(), reinterpret_cast<const WAVEFORMATEX*>(&format), -1,
                             2000, nullptr, -1) == 0 &&
        c_APECompress_AddData(compressor, pcm.data(), static_cast<int>(pcm.size())) == 0 &&
        c_APECompress_Finish(compressor, nullptr, 0, 0) == 0;
    c_APECompress_Destroy(compressor);
    if (!ok) ADD_FAILURE() << "could not write " << path;
    return path;
}

// Tags as ffprobe sees them (format and stream level), keys lower-cased.
std::map<std::string, std::string> ProbeTags(const fs::path& path) {
    const auto r = RunCommand("ffprobe -v error -show_entries format_tags:stream_tags -of default=nw=1 " +
                              ShellQuote(path.string()));
    std::map<std::string, std::string> tags;
    size_t start = 0;
    while (start < r.out.size()) {
        size_t end = r.out.find('\n', start);
        if (end == std::string::npos) end = r.out.size();
        const std::string line = r.out.substr(start, end - start);
        start = end + 1;
        const size_t eq = line.find('=');
        if (line.rfind("TAG:", 0) != 0 || eq == std::string::npos) continue;
        std::string key = line.substr(4, eq - 4);
        for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        tags.emplace(key, line.substr(eq + 1));
    }
    return tags;
}

Fields Read(const fs::path& path) {
    Fields f;
    taglib::TagLib_File* file = taglib::taglib_file_newu(path.c_str());
    EXPECT_NE(file, nullptr) << path;
    if (taglib::TagLib_Tag* tag = taglib::taglib_file_tag(file)) {
        f = {taglib::taglib_tag_title(tag), taglib::taglib_tag_artist(tag), taglib::taglib_tag_album(tag),
             taglib::taglib_tag_genre(tag), taglib::taglib_tag_track(tag),  taglib::taglib_tag_year(tag)};
    }
    taglib::taglib_tag_free_strings();
    taglib::taglib_file_free(file);
    return f;
}

bool Write(const fs::path& path, const Fields& f) {
    taglib::TagLib_File* file = taglib::taglib_file_newu(path.c_str());
    EXPECT_NE(file, nullptr) << path;
    taglib::TagLib_Tag* tag = taglib::taglib_file_tag(file);
    EXPECT_NE(tag, nullptr) << path;
    taglib::taglib_tag_set_title(tag, f.title.c_str());
    taglib::taglib_tag_set_artist(tag, f.artist.c_str());
    taglib::taglib_tag_set_album(tag, f.album.c_str());
    taglib::taglib_tag_set_genre(tag, f.genre.c_str());
    taglib::taglib_tag_set_track(tag, f.track);
    taglib::taglib_tag_set_year(tag, f.year);
    const bool saved = taglib::taglib_file_save(file);
    taglib::taglib_file_free(file);
    return saved;
}

unsigned LeadingNumber(const std::string& text) {
    return text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])) ? 0 : std::stoul(text);
}

class TagWrapper : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(taglib::Load()) << "libtagwrapper.so not found next to the test binary";
        taglib::taglib_set_strings_unicode(true);
    }
    TempDir dir_;
};

class TagFormats : public TagWrapper, public ::testing::WithParamInterface<const char*> {};

TEST_P(TagFormats, UntaggedFileReadsEmptyTextsAndZeros) {
    const fs::path path = MakeAudio(dir_, std::string("plain.") + GetParam());
    EXPECT_EQ(Read(path), Fields{});
}

// Written through the calls, read back both through them (after closing) and by ffprobe.
TEST_P(TagFormats, SixFieldsRoundTripAsUtf8AndFfprobeAgrees) {
    const fs::path path = MakeAudio(dir_, std::string("tagged Öß 東.") + GetParam());
    ASSERT_TRUE(Write(path, kUnicode));
    EXPECT_EQ(Read(path), kUnicode);

    auto probed = ProbeTags(path);
    EXPECT_EQ(probed["title"], kUnicode.title);
    EXPECT_EQ(probed["artist"], kUnicode.artist);
    EXPECT_EQ(probed["album"], kUnicode.album);
    EXPECT_EQ(probed["genre"], kUnicode.genre);
    EXPECT_EQ(LeadingNumber(probed["track"]), kUnicode.track);
    EXPECT_EQ(LeadingNumber(probed["date"]), kUnicode.year);
}

TEST_P(TagFormats, EmptyTextAndZeroClearFieldsOthersStay) {
    const fs::path path = MakeAudio(dir_, std::string("cleared.") + GetParam());
    ASSERT_TRUE(Write(path, kUnicode));
    Fields partial = kUnicode;
    partial.title.clear();
    partial.genre.clear();
    partial.track = 0;
    partial.year = 0;
    ASSERT_TRUE(Write(path, partial));
    EXPECT_EQ(Read(path), partial);
    EXPECT_EQ(ProbeTags(path).count("title"), 0u);
}

INSTANTIATE_TEST_SUITE_P(All, TagFormats, ::testing::Values("mp3", "flac", "ogg", "wav", "m4a"));

// With the Unicode switch off, texts cross the calls as Latin-1 both ways.
TEST_F(TagWrapper, UnicodeSwitchOffMeansLatin1Texts) {
    const fs::path path = MakeAudio(dir_, "latin1.flac");
    taglib::taglib_set_strings_unicode(false);
    Fields latin1{
        "Gr\xFC\xDF"
        "e",
        "Caf\xE9",
        "",
        "",
        0,
        0};
    EXPECT_TRUE(Write(path, latin1));
    EXPECT_EQ(Read(path), latin1);
    taglib::taglib_set_strings_unicode(true);
    EXPECT_EQ(Read(path), (Fields{"Grüße", "Café", "", "", 0, 0}));
}

TEST_F(TagWrapper, UnopenableFilesGiveNullHandles) {
    testsupport::WriteBytes(dir_ / "empty.flac", {});
    std::vector<uint8_t> noise(20000);
    uint32_t state = 12345;
    for (auto& b : noise) b = static_cast<uint8_t>((state = state * 1664525u + 1013904223u) >> 24);
    for (const char* name : {"noise.flac", "noise.ogg", "noise.m4a", "noise.bin"})
        testsupport::WriteBytes(dir_ / name, noise);
    // An empty ZIP archive: end-of-central-directory record only.
    std::vector<uint8_t> zip = {'P', 'K', 5, 6};
    zip.resize(22, 0);
    testsupport::WriteBytes(dir_ / "archive.zip", zip);

    for (const fs::path& path :
         {dir_ / "missing.mp3", dir_ / "empty.flac", dir_ / "noise.flac", dir_ / "noise.ogg",
          dir_ / "noise.m4a", dir_ / "noise.bin", dir_ / "archive.zip", dir_.path()}) {
        taglib::TagLib_File* file = taglib::taglib_file_newu(path.c_str());
        EXPECT_EQ(file, nullptr) << path;
        taglib::taglib_file_free(file);
    }
    EXPECT_EQ(taglib::taglib_file_newu(""), nullptr);
    EXPECT_EQ(taglib::taglib_file_newu(nullptr), nullptr);
}

TEST_F(TagWrapper, NullHandlesAreHarmless) {
    EXPECT_EQ(taglib::taglib_file_tag(nullptr), nullptr);
    EXPECT_STREQ(taglib::taglib_tag_title(nullptr), "");
    EXPECT_EQ(taglib::taglib_tag_year(nullptr), 0u);
    taglib::taglib_tag_set_title(nullptr, "x");
    taglib::taglib_tag_set_track(nullptr, 3);
    EXPECT_FALSE(taglib::taglib_file_save(nullptr));
    const fs::path path = MakeAudio(dir_, "one.flac");
    taglib::TagLib_File* file = taglib::taglib_file_newu(path.c_str());
    taglib::taglib_tag_copy(file, nullptr);
    taglib::taglib_tag_copy(nullptr, file);
    taglib::taglib_file_free(file);
    taglib::taglib_file_free(nullptr);
    taglib::taglib_tag_free_strings();
}

// The program keeps running without the library: reading gives nothing, writing changes nothing.
TEST_F(TagWrapper, MissingLibraryMakesEveryCallHarmless) {
    const fs::path path = MakeAudio(dir_, "song.mp3");
    ASSERT_TRUE(Write(path, kUnicode));
    const auto before = testsupport::ReadBytes(path);

    taglib::Unload();
    EXPECT_FALSE(taglib::IsLoaded());
    EXPECT_FALSE(taglib::Load("libwavetrove-no-such-tagwrapper.so"));
    EXPECT_FALSE(taglib::IsLoaded());

    taglib::taglib_set_strings_unicode(true);
    taglib::TagLib_File* file = taglib::taglib_file_newu(path.c_str());
    EXPECT_EQ(file, nullptr);
    taglib::TagLib_Tag* tag = taglib::taglib_file_tag(file);
    EXPECT_EQ(tag, nullptr);
    for (auto getter : {taglib::taglib_tag_title, taglib::taglib_tag_artist, taglib::taglib_tag_album,
                        taglib::taglib_tag_genre})
        EXPECT_STREQ(getter(tag), "");
    EXPECT_EQ(taglib::taglib_tag_track(tag), 0u);
    EXPECT_EQ(taglib::taglib_tag_year(tag), 0u);
    taglib::taglib_tag_set_title(tag, "changed");
    taglib::taglib_tag_set_year(tag, 2020);
    EXPECT_FALSE(taglib::taglib_file_save(file));
    taglib::taglib_tag_copy(file, file);
    taglib::taglib_file_free(file);
    taglib::taglib_tag_free_strings();
    taglib::Unload();
    EXPECT_EQ(testsupport::ReadBytes(path), before);

    ASSERT_TRUE(taglib::Load());
    EXPECT_EQ(Read(path), kUnicode);
}

TEST_F(TagWrapper, TextsStayValidUntilFreeStringsAcrossFilesAndThreads) {
    constexpr int kThreads = 4;
    std::vector<fs::path> paths;
    for (int i = 0; i < kThreads; ++i) {
        paths.push_back(MakeAudio(dir_, "t" + std::to_string(i) + ".flac"));
        Fields f = kUnicode;
        f.title = "Title number " + std::to_string(i) + " – ü";
        ASSERT_TRUE(Write(paths.back(), f));
    }
    // Every file is closed right after reading; the texts must outlive their files.
    std::vector<std::vector<const char*>> seen(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            for (int round = 0; round < 50; ++round) {
                taglib::TagLib_File* file = taglib::taglib_file_newu(paths[i].c_str());
                seen[i].push_back(taglib::taglib_tag_title(taglib::taglib_file_tag(file)));
                taglib::taglib_file_free(file);
            }
        });
    }
    for (auto& t : threads) t.join();
    for (int i = 0; i < kThreads; ++i) {
        ASSERT_EQ(seen[i].size(), 50u);
        for (const char* text : seen[i])
            ASSERT_STREQ(text, ("Title number " + std::to_string(i) + " – ü").c_str());
    }
    taglib::taglib_tag_free_strings();
}

// Source tags are written by ffmpeg, so the copy is checked against an independent writer; the destination
// already holds a title (to be replaced) and a composer (to be kept: the copy merges).
struct CopyCase {
    const char* from;
    const char* to;
};

void PrintTo(const CopyCase& c, std::ostream* out) {
    *out << c.from << " -> " << c.to;
}

class TagCopy : public TagWrapper, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(TagCopy, CarriesSixFieldsAndCustomKeyAndKeepsOtherDestinationKeys) {
    const std::string sourceTags =
        "-metadata title='Grüße – 東京' -metadata artist='Søren' -metadata album='Ålbum' -metadata "
        "genre=Jazz "
        "-metadata track=5 -metadata date=2004 -metadata WAVETROVE_CUSTOM='custom välue'";
    const fs::path source = MakeAudio(dir_, std::string("source.") + GetParam().from, sourceTags);
    const fs::path target = MakeAudio(dir_, std::string("target.") + GetParam().to,
                                      "-metadata title=Old -metadata composer=Keeper");

    taglib::taglib_set_strings_unicode(true);
    taglib::TagLib_File* in = taglib::taglib_file_newu(source.c_str());
    taglib::TagLib_File* out = taglib::taglib_file_newu(target.c_str());
    ASSERT_NE(in, nullptr);
    ASSERT_NE(out, nullptr);
    taglib::taglib_tag_copy(in, out);
    EXPECT_TRUE(taglib::taglib_file_save(out));
    taglib::taglib_file_free(out);
    taglib::taglib_file_free(in);
    taglib::taglib_tag_free_strings();

    EXPECT_EQ(Read(target), (Fields{"Grüße – 東京", "Søren", "Ålbum", "Jazz", 5, 2004}));
    auto probed = ProbeTags(target);
    EXPECT_EQ(probed["wavetrove_custom"], "custom välue");
    EXPECT_EQ(probed["composer"], "Keeper");
}

INSTANTIATE_TEST_SUITE_P(Pairs, TagCopy,
                         ::testing::Values(CopyCase{"flac", "mp3"}, CopyCase{"mp3", "flac"},
                                           CopyCase{"ogg", "m4a"}, CopyCase{"mp3", "ogg"}),
                         [](const auto& info) {
                             return std::string(info.param.from) + "_to_" + info.param.to;
                         });

// M4A has no atom for custom keys; they travel as iTunes freeform items and come back out of them.
TEST_F(TagWrapper, CustomKeySurvivesTheWayThroughM4a) {
    const fs::path flac = MakeAudio(dir_, "a.flac", "-metadata WAVETROVE_CUSTOM=through -metadata title=T");
    const fs::path m4a = MakeAudio(dir_, "b.m4a");
    const fs::path mp3 = MakeAudio(dir_, "c.mp3");
    for (const auto& [from, to] : {std::pair{flac, m4a}, std::pair{m4a, mp3}}) {
        taglib::TagLib_File* in = taglib::taglib_file_newu(from.c_str());
        taglib::TagLib_File* out = taglib::taglib_file_newu(to.c_str());
        taglib::taglib_tag_copy(in, out);
        EXPECT_TRUE(taglib::taglib_file_save(out));
        taglib::taglib_file_free(out);
        taglib::taglib_file_free(in);
    }
    EXPECT_EQ(ProbeTags(mp3)["wavetrove_custom"], "through");
    EXPECT_EQ(Read(mp3).title, "T");
}

// iTunSMPB describes one encoding's delay and padding: a source's, in any spelling, reaches no output,
// while a custom key beside it does.
TEST_F(TagWrapper, GaplessInfoOfTheSourceIsNotCopied) {
    const std::string smpb = "' 00000000 00000840 000001C0 0000000000015888'";
    for (const auto& [from, key] : {std::pair{"flac", "ITUNSMPB"}, std::pair{"flac", "iTunSMPB"},
                                    std::pair{"mp3", "iTunSMPB"}, std::pair{"ogg", "itunsmpb"}}) {
        for (const char* to : {"flac", "m4a", "mp3"}) {
            SCOPED_TRACE(std::string(from) + " " + key + " -> " + to);
            TempDir dir;
            const fs::path source =
                MakeAudio(dir, std::string("source.") + from,
                          std::string("-metadata ") + key + "=" + smpb + " -metadata WAVETROVE_CUSTOM=kept");
            ASSERT_EQ(ProbeTags(source).count("itunsmpb"), 1u) << "the source has no gapless item";
            const fs::path target = MakeAudio(dir, std::string("target.") + to);
            taglib::TagLib_File* in = taglib::taglib_file_newu(source.c_str());
            taglib::TagLib_File* out = taglib::taglib_file_newu(target.c_str());
            ASSERT_NE(in, nullptr);
            ASSERT_NE(out, nullptr);
            taglib::taglib_tag_copy(in, out);
            EXPECT_TRUE(taglib::taglib_file_save(out));
            taglib::taglib_file_free(out);
            taglib::taglib_file_free(in);
            const auto probed = ProbeTags(target);
            EXPECT_EQ(probed.count("itunsmpb"), 0u);
            EXPECT_EQ(probed.count("comment"), 0u);
            EXPECT_EQ(probed.count("wavetrove_custom"), 1u);
        }
    }
}

// Cover art has no generic TagLib API; the picture bytes must arrive unchanged in each tag format.
class CoverCopy : public TagWrapper, public ::testing::WithParamInterface<const char*> {};

TEST_P(CoverCopy, PictureBytesArriveUnchanged) {
    const fs::path cover = dir_ / "cover.png";
    ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -f lavfi -i color=c=red:s=8x8 -frames:v 1 " +
                         ShellQuote(cover.string()))
                  .status,
              0);
    const fs::path audio = MakeAudio(dir_, "plain.flac");
    const fs::path source = dir_ / "source.flac";
    ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(audio.string()) + " -i " +
                         ShellQuote(cover.string()) + " -map 0 -map 1 -c copy -disposition:v attached_pic " +
                         ShellQuote(source.string()))
                  .status,
              0);
    const std::string targetName = std::string("target.") + GetParam();
    const fs::path target =
        targetName == "target.ape" ? MakeApe(dir_, targetName) : MakeAudio(dir_, targetName);

    taglib::TagLib_File* in = taglib::taglib_file_newu(source.c_str());
    taglib::TagLib_File* out = taglib::taglib_file_newu(target.c_str());
    taglib::taglib_tag_copy(in, out);
    EXPECT_TRUE(taglib::taglib_file_save(out));
    taglib::taglib_file_free(out);
    taglib::taglib_file_free(in);

    const auto extracted = RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(target.string()) +
                                      " -map 0:v -c copy -f image2pipe -");
    EXPECT_EQ(testsupport::Md5Hex(extracted.out.data(), extracted.out.size()),
              testsupport::Md5Hex(testsupport::ReadBytes(cover)));
}

INSTANTIATE_TEST_SUITE_P(Targets, CoverCopy, ::testing::Values("mp3", "m4a", "flac", "ape", "wv"));

// APEv2 has one item for the front and one for the back cover, each a file name, a zero byte and the
// image; without a front cover the first picture stands in. Both covers travel on into FLAC.
TEST_F(TagWrapper, ApeCoversAreNamedByContentAndTravelOn) {
    const fs::path png = dir_ / "back.png";
    const fs::path jpg = dir_ / "front.jpg";
    for (const auto& [file, color] : {std::pair{png, "blue"}, std::pair{jpg, "red"}}) {
        ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -f lavfi -i color=c=" + std::string(color) +
                             ":s=8x8 -frames:v 1 " + ShellQuote(file.string()))
                      .status,
                  0);
    }
    // A FLAC source with a back cover first, then a front cover.
    const fs::path audio = MakeAudio(dir_, "plain.flac");
    const fs::path source = dir_ / "source.flac";
    ASSERT_EQ(RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(audio.string()) + " -i " +
                         ShellQuote(png.string()) + " -i " + ShellQuote(jpg.string()) +
                         " -map 0 -map 1 -map 2 -c copy -metadata:s:v:0 comment=\"Cover (back)\" "
                         "-metadata:s:v:1 comment=\"Cover (front)\" -disposition:v attached_pic " +
                         ShellQuote(source.string()))
                  .status,
              0);
    const fs::path ape = MakeApe(dir_, "middle.ape");
    const fs::path flac = MakeAudio(dir_, "end.flac");
    for (const auto& [from, to] : {std::pair{source, ape}, std::pair{ape, flac}}) {
        taglib::TagLib_File* in = taglib::taglib_file_newu(from.c_str());
        taglib::TagLib_File* out = taglib::taglib_file_newu(to.c_str());
        taglib::taglib_tag_copy(in, out);
        EXPECT_TRUE(taglib::taglib_file_save(out));
        taglib::taglib_file_free(out);
        taglib::taglib_file_free(in);
    }
    const std::vector<uint8_t> bytes = testsupport::ReadBytes(ape);
    const std::string text(bytes.begin(), bytes.end());
    // Key, zero, file name, zero (the literal's own terminator), then the image.
    const char front[] = "Cover Art (Front)\0cover.jpg";
    const char back[] = "Cover Art (Back)\0cover.png";
    EXPECT_NE(text.find(std::string(front, sizeof front)), std::string::npos);
    EXPECT_NE(text.find(std::string(back, sizeof back)), std::string::npos);
    for (const auto& [stream, image] : {std::pair{0, jpg}, std::pair{1, png}}) {
        const auto extracted = RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(flac.string()) +
                                          " -map 0:v:" + std::to_string(stream) + " -c copy -f image2pipe -");
        EXPECT_EQ(testsupport::Md5Hex(extracted.out.data(), extracted.out.size()),
                  testsupport::Md5Hex(testsupport::ReadBytes(image)))
            << image;
    }
}

}  // namespace
