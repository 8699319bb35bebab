// Tests of the conversion list's file intake: row texts, the duplicate rule, M3U and PLS playlists, folder
// scans with their stop flag, through a registry of fake sources and once through the real registry.
#include "wvt/intake.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <future>
#include <stdexcept>
#include <thread>

#include "support/audio_fixtures.h"
#include "support/cd_image.h"
#include "decoder/manager.h"
#include "wvt/nameorder.h"
#include "wvt/playlist.h"

namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {

// A source whose facts come from its file's text: "valid <seconds>", "invalid", "broken" (valid, but
// asking its format raises) or "raise" (its constructor raises).
class FakeSource : public TDecoder {
  public:
    FakeSource(std::string file, bool valid, int seconds, bool broken)
        : TDecoder(std::move(file)), valid_(valid), seconds_(seconds), broken_(broken) {}
    std::string GetFormatText() const override {
        if (broken_) throw std::runtime_error("format unreadable");
        return "FAKE " + std::to_string(seconds_) + " s";
    }
    int GetDuration() const override { return seconds_; }
    int ReadBlock(const uint8_t*& data, uint32_t& count) override {
        data = nullptr;
        count = 0;
        return 1;
    }
    int GetProgress() const override { return 0; }
    int GetChannels() const override { return 2; }
    int GetSampleRate() const override { return 44100; }
    int GetBitsPerSample() const override { return 16; }
    int GetSampleFormat() const override { return 2; }
    bool IsValid() const override { return valid_; }
    uint16_t GetFormatTag() const override { return 1; }
    void Rewind() override {}

  private:
    bool valid_;
    int seconds_;
    bool broken_;
};

class FakeClass : public DecoderClass {
  public:
    FakeClass() : DecoderClass("TFakeReader") {}
    bool GetFormats(TFormats& formats) const override {
        formats = {{"Fake Files", ".fake"}, {"Fake Files", ".snd"}};
        return true;
    }
    std::unique_ptr<TDecoder> CreateFromFile(const std::string& file) const override {
        opened.push_back(file);
        if (onOpen) onOpen(file);
        std::error_code error;
        if (!fs::is_regular_file(file, error)) return std::make_unique<FakeSource>(file, false, 0, false);
        std::ifstream in(file);
        std::string kind;
        int seconds = 0;
        in >> kind >> seconds;
        if (kind == "raise") throw std::runtime_error("cannot construct");
        return std::make_unique<FakeSource>(file, kind == "valid" || kind == "broken", seconds,
                                            kind == "broken");
    }
    mutable std::vector<std::string> opened;
    std::function<void(const std::string&)> onOpen;
};

void WriteText(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << text;
}

std::vector<std::string> Paths(const std::vector<TFilesItem>& items) {
    std::vector<std::string> paths;
    for (const TFilesItem& item : items) paths.push_back(item.path);
    return paths;
}

std::vector<std::string> Sorted(std::vector<std::string> paths) {
    std::sort(paths.begin(), paths.end());
    return paths;
}

// Windows spelling of a local path: backslashes throughout.
std::string Backslashed(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

class Intake : public testing::Test {
  protected:
    // An audio file the fake source accepts, `seconds` long.
    std::string Audio(const std::string& relative, int seconds = 60) {
        WriteText(dir / relative, "valid " + std::to_string(seconds));
        return (dir / relative).string();
    }

    TempDir dir;
    FakeClass fake;
    TDecManager registry{{&fake}};
    TIntake intake{registry};
    std::vector<TFilesItem> rows;
};

}  // namespace

// ---- Row texts ----

class DurationText : public testing::TestWithParam<std::pair<int, const char*>> {};
TEST_P(DurationText, IsHoursMinutesSeconds) {
    EXPECT_EQ(FormatDuration(GetParam().first), GetParam().second);
}
INSTANTIATE_TEST_SUITE_P(Cases, DurationText,
                         testing::Values(std::pair{0, "00:00:00"}, std::pair{59, "00:00:59"},
                                         std::pair{3599, "00:59:59"}, std::pair{3725, "01:02:05"},
                                         std::pair{360000, "100:00:00"}, std::pair{INT_MAX, "596523:14:07"},
                                         std::pair{-1, "--:--:--"}, std::pair{INT_MIN, "--:--:--"}));

TEST(FilesItem, StatusTextsByIndexAndNothingOutsideTheTable) {
    const char* expected[] = {"Processing...", "Failed!", "Skipped", "Canceled", "Done!", "Ready"};
    for (int i = 0; i < 6; ++i) EXPECT_STREQ(StatusText(i), expected[i]) << i;
    EXPECT_STREQ(StatusText(-1), "");
    EXPECT_STREQ(StatusText(6), "");
    EXPECT_EQ(TFilesItem{}.status, fsReady);
}

TEST(FilesItem, NameDropsFolderAndLastExtensionOnly) {
    EXPECT_EQ(ItemName("/music/My.Song.flac"), "My.Song");
    EXPECT_EQ(ItemName("/music.d/noextension"), "noextension");
    EXPECT_EQ(ItemName("relative.wav"), "relative");
}

// The same path twice leaves one row, also inside one pass; another letter case is another file.
TEST(FilesItem, DuplicatePathsAreSkipped) {
    auto item = [](const std::string& path) { return TFilesItem{path, path, "F", "00:00:01", fsReady}; };
    std::vector<TFilesItem> rows = {item("/m/a.mp3")};
    const std::vector<TFilesItem> pending = {item("/m/a.mp3"), item("/m/b.mp3"), item("/m/B.mp3"),
                                             item("/m/b.mp3"), item("/m/c.mp3")};
    EXPECT_EQ(AppendNewItems(pending, rows), 3u);
    EXPECT_EQ(Paths(rows), (std::vector<std::string>{"/m/a.mp3", "/m/b.mp3", "/m/B.mp3", "/m/c.mp3"}));
    EXPECT_EQ(AppendNewItems(pending, rows), 0u);
    EXPECT_EQ(rows.size(), 4u);
}

// ---- Classifying single files ----

TEST_F(Intake, ValidFileBecomesAReadyRowWithItsFacts) {
    const std::string path = Audio("in/My.Song.FAKE", 3725);
    EXPECT_EQ(intake.addfile(path, rows), 1u);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (TFilesItem{"My.Song", path, "FAKE 3725 s", "01:02:05", fsReady}));
    // Adding it again by the same road leaves one row.
    EXPECT_EQ(intake.addfile(path, rows), 0u);
    EXPECT_EQ(rows.size(), 1u);
}

TEST_F(Intake, FilesNoSourceTakesAreLeftOutSilently) {
    WriteText(dir / "invalid.fake", "invalid");
    WriteText(dir / "raises.fake", "raise");
    WriteText(dir / "notes.txt", "valid 10");
    for (const char* name : {"invalid.fake", "raises.fake", "notes.txt", "missing.fake", "noextension"}) {
        EXPECT_EQ(intake.addfile((dir / name).string(), rows), 0u) << name;
    }
    EXPECT_TRUE(rows.empty());
    // The file without a supported extension never reached a source.
    EXPECT_EQ(std::count(fake.opened.begin(), fake.opened.end(), (dir / "notes.txt").string()), 0);
}

// ---- Playlists ----

TEST_F(Intake, M3UAddsExactlyTheExistingLocalFilesInOrder) {
    const std::string rel = Audio("lists/rel.fake");
    const std::string deep = Audio("lists/sub/deep.snd");
    const std::string abs = Audio("elsewhere/abs.fake");
    const std::string fromRoot = Audio("elsewhere/root.fake");
    const std::string withDrive = Audio("elsewhere/drive.fake");
    WriteText(dir / "lists/notes.txt", "valid 1");
    WriteText(dir / "lists/bad.fake", "invalid");
    // Folders named like URLs, so that reading a URL line as a relative path would find a file.
    Audio("lists/http:/radio.example/stream.fake");
    Audio("lists/HTTPS:/radio.example/secure.fake");
    Audio("lists/see http:/example.org/x.fake");
    WriteText(dir / "lists/mix.m3u",
              "#EXTM3U\r\n"
              "#EXTINF:123,Artist - Title\r\n"
              "rel.fake\r\n"
              "\r\n"
              "http://radio.example/stream.fake\r\n"
              "HTTPS://radio.example/secure.fake\r\n"
              "see http://example.org/x.fake\r\n" +
                  abs + "\r\n" + "sub\\deep.snd\r\n" + Backslashed(fromRoot) + "\r\n" +
                  "C:" + Backslashed(withDrive) + "\r\n" + "gone.fake\r\n" + "notes.txt\r\n" +
                  "bad.fake\r\n" + "#" + abs + "\r\n");
    intake.addfile((dir / "lists/mix.m3u").string(), rows);
    EXPECT_EQ(Paths(rows), (std::vector<std::string>{rel, abs, deep, fromRoot, withDrive}));
}

// The same entries survive every text form a playlist may come in.
struct TextForm {
    const char* name;
    std::function<std::string(const std::string&)> encode;  // UTF-8 text with LF endings -> file bytes
};

std::string ToUtf16(const std::string& utf8, bool bigEndian) {
    std::u32string code;  // the tests' texts are valid UTF-8
    for (size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const int length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t cp = length == 1 ? c : c & (0xFF >> (length + 1));
        for (int k = 1; k < length; ++k) cp = cp << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        code += cp;
        i += length;
    }
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    auto put = [&](char16_t u) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    };
    for (char32_t cp : code) {
        if (cp >= 0x10000) {
            put(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            put(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            put(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t pos = 0; (pos = text.find(from, pos)) != std::string::npos; pos += to.size())
        text.replace(pos, from.size(), to);
    return text;
}

class M3UTextForm : public testing::TestWithParam<TextForm> {};

TEST_P(M3UTextForm, EntriesAreReadInOrder) {
    TempDir dir;
    const std::string names[] = {"Ünïcödé ♫.fake", "日本語.snd", "emoji 🎵.fake"};
    std::string text = "#EXTM3U\n";
    for (const std::string& name : names) {
        WriteText(dir / name, "valid 1");
        text += name + "\n";
    }
    WriteText(dir / "list.m3u", GetParam().encode(text));
    std::vector<std::string> expected;
    for (const std::string& name : names) expected.push_back((dir / name).string());
    EXPECT_EQ(ReadM3U((dir / "list.m3u").string()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, M3UTextForm,
    testing::Values(TextForm{"Plain", [](const std::string& t) { return t; }},
                    TextForm{"Utf8Bom", [](const std::string& t) { return "\xEF\xBB\xBF" + t; }},
                    TextForm{"Utf16LE", [](const std::string& t) { return ToUtf16(t, false); }},
                    TextForm{"Utf16BE", [](const std::string& t) { return ToUtf16(t, true); }},
                    TextForm{"CrOnly", [](const std::string& t) { return Replace(t, "\n", "\r"); }},
                    TextForm{"CrLfNoFinalBreak",
                             [](const std::string& t) {
                                 return Replace(t.substr(0, t.size() - 1), "\n", "\r\n");
                             }}),
    [](const testing::TestParamInfo<TextForm>& info) { return std::string(info.param.name); });

TEST_F(Intake, PLSTakesRootEntriesUpToNumberOfEntries) {
    const std::string first = Audio("elsewhere/zero.fake");         // File0 counts too
    const std::string underList = Audio("lists/music/under.fake");  // "\music\under.fake" below the list
    const std::string direct = Audio("elsewhere/direct.snd");
    Audio("lists/relative.fake");
    Audio("elsewhere/beyond.fake");
    WriteText(dir / "lists/radio.pls",
              "[Playlist]\r\n"
              "NumberOfEntries=4\r\n"
              "File0=" +
                  first +
                  "\r\n"
                  "File1=relative.fake\r\n"
                  "file2=\\music\\under.fake\r\n"
                  "File3=C:" +
                  Backslashed(direct) +
                  "\r\n"
                  "FILE4=" +
                  Backslashed(direct) +
                  "\r\n"
                  "File5=" +
                  (dir / "elsewhere/beyond.fake").string() +
                  "\r\n"
                  "File02=" +
                  direct +
                  "\r\n"
                  "Title1=Some Title\r\n"
                  "Version=2\r\n"
                  "[other]\r\nFile1=" +
                  direct + "\r\n");
    intake.addfile((dir / "lists/radio.pls").string(), rows);
    EXPECT_EQ(Paths(rows), (std::vector<std::string>{first, underList, direct}));
}

TEST_F(Intake, PLSEntryCountEdges) {
    const std::string a = Audio("a.fake");
    const std::string b = Audio("b.fake");
    const std::string body = "File0=" + a + "\nFile1=" + b + "\n";
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"", {a}},                                     // missing count: 0, so File0 only
        {"NumberOfEntries=-1\n", {}},                  // negative: no keys at all
        {"NumberOfEntries=two\n", {a}},                // not a number: 0
        {"NumberOfEntries=99999999999999\n", {a, b}},  // a damaged count ends with the entries
    };
    for (const auto& [count, expected] : cases) {
        WriteText(dir / "list.pls", "[playlist]\n" + count + body);
        EXPECT_EQ(ReadPLS((dir / "list.pls").string()), expected) << count;
    }
    // Entries that all begin with a drive letter give nothing.
    WriteText(dir / "drives.pls", "[playlist]\nNumberOfEntries=2\nFile1=C:" + Backslashed(a) +
                                      "\nFile2=D:" + Backslashed(b) + "\n");
    EXPECT_TRUE(ReadPLS((dir / "drives.pls").string()).empty());
}

// Addresses in playlists are reported like files that cannot be added and reach no source; folders named
// like the addresses exist, so that reading an address as a relative path would find a file.
TEST_F(Intake, PlaylistAddressesAreReportedAndNeverOpened) {
    const std::string local = Audio("lists/local.fake");
    Audio("lists/http:/radio.example/a.fake");
    Audio("lists/rtsp:/radio.example/b.fake");
    Audio("lists/file:/c.fake");
    WriteText(dir / "lists/mix.m3u",
              "http://radio.example/a.fake\nlocal.fake\nrtsp://radio.example/b.fake\nfile:/c.fake\n");
    WriteText(dir / "lists/radio.pls",
              "[playlist]\nNumberOfEntries=2\nFile1=HTTPS://radio.example/a.fake\nFile2=" + local + "\n");
    std::vector<std::string> errors;
    intake.OnFileError = [&](const std::string& text) { errors.push_back(text); };
    intake.addfile((dir / "lists/mix.m3u").string(), rows);
    intake.addfile((dir / "lists/radio.pls").string(), rows);
    EXPECT_EQ(Paths(rows), std::vector<std::string>{local});
    EXPECT_EQ(errors, (std::vector<std::string>{"Could not add file: http://radio.example/a.fake",
                                                "Could not add file: rtsp://radio.example/b.fake",
                                                "Could not add file: file:/c.fake",
                                                "Could not add file: HTTPS://radio.example/a.fake"}));
    EXPECT_EQ(fake.opened, (std::vector<std::string>{local, local}));  // once per playlist
}

TEST(PlaylistAddress, SchemesAndHttpAnywhereButNotDrivesOrNames) {
    const std::pair<const char*, bool> cases[] = {
        {"http://radio.example/a.mp3", true},
        {"see HTTP://x", true},
        {"https://x/y", true},
        {"ftp://host/a.mp3", true},
        {"rtsp://host/a", true},
        {"a+b.c-d://x", true},
        {"file:///music/a.mp3", true},
        {"FILE:a.mp3", true},
        {"C://music/a.mp3", false},
        {"C:\\music\\a.mp3", false},
        {"1ab://x", false},
        {"Intro: Part 1.mp3", false},
        {"sub/deep.mp3", false},
        {"/music/a:b.mp3", false},
        {"data:audio", false},
    };
    for (const auto& [entry, address] : cases) EXPECT_EQ(IsPlaylistAddress(entry), address) << entry;
}

// A NUL inside an entry would cut the name short on its way to the file system and name another file.
TEST_F(Intake, EntriesWithANulAreIgnored) {
    const std::string a = Audio("a.fake");
    const std::string withNul = a + std::string(1, '\0') + "junk";
    const std::string folder = dir.path().string() + "/";
    EXPECT_TRUE(M3UFiles(withNul + "\n" + std::string("a.fake\0x", 8) + "\n", folder).empty());
    EXPECT_TRUE(PLSFiles("[playlist]\nNumberOfEntries=1\nFile1=" + withNul + "\n", folder).empty());
    EXPECT_EQ(M3UFiles(a + "\n", folder), std::vector<std::string>{a});
}

// Playlists that name themselves, directly, through each other or under another spelling, are read once.
TEST_F(Intake, SelfReferencingPlaylistsEnd) {
    const std::string one = Audio("one.fake");
    const std::string two = Audio("two.fake");
    const std::string three = Audio("three.fake");
    fs::create_directories(dir / "alias");
    fs::create_symlink(dir / "a.m3u", dir / "alias/link.m3u");
    WriteText(dir / "a.m3u", "a.m3u\none.fake\nb.pls\n./a.m3u\nalias/link.m3u\n");
    WriteText(dir / "b.pls", "[playlist]\nNumberOfEntries=3\nFile1=" + (dir / "a.m3u").string() + "\nFile2=" +
                                 (dir / "two.fake").string() + "\nFile3=" + (dir / "c.m3u").string() + "\n");
    WriteText(dir / "c.m3u", "b.pls\nthree.fake\na.m3u\n");
    intake.addfile((dir / "a.m3u").string(), rows);
    EXPECT_EQ(Paths(rows), (std::vector<std::string>{one, two, three}));
    EXPECT_EQ(fake.opened.size(), 3u);

    // A later call reads the playlists afresh.
    fake.opened.clear();
    intake.addfile((dir / "c.m3u").string(), rows);
    EXPECT_EQ(fake.opened.size(), 3u);
    EXPECT_EQ(rows.size(), 3u);
}

// ---- Folder scans ----

class IntakeScan : public Intake, public testing::WithParamInterface<bool> {};

TEST_P(IntakeScan, FindsSupportedFilesAsDeepAsRecurseAllows) {
    const bool recurse = GetParam();
    const std::string top = Audio("root/top.fake");
    const std::string mid = Audio("root/sub/mid.snd");
    const std::string low = Audio("root/sub/deeper/low.FAKE");
    const std::string hidden = Audio("root/.hidden/secret.fake");
    WriteText(dir / "root/notes.txt", "valid 1");
    WriteText(dir / "root/sub/bad.fake", "invalid");
    Audio("outside/listed.fake");
    WriteText(dir / "root/list.m3u", (dir / "outside/listed.fake").string() + "\n");  // no source reads .m3u
    fs::create_directories(dir / "root/empty");

    intake.ScanFolder((dir / "root").string(), recurse);
    const std::vector<std::string> expected =
        recurse ? std::vector<std::string>{top, mid, low, hidden} : std::vector<std::string>{top};
    EXPECT_EQ(Sorted(Paths(intake.Pending())), Sorted(expected));
}
INSTANTIATE_TEST_SUITE_P(Recurse, IntakeScan, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "On" : "Off"; });

TEST_F(Intake, ScanOfAFolderWithoutSupportedFilesAddsNothing) {
    WriteText(dir / "root/readme.txt", "valid 1");
    fs::create_directories(dir / "root/sub");
    intake.ScanFolder((dir / "root").string(), true);
    intake.ScanFolder((dir / "no such folder").string(), true);
    EXPECT_TRUE(intake.Pending().empty());
    EXPECT_EQ(intake.addfilefromthread(rows), 0u);
}

TEST_F(Intake, StopFlagEndsTheScanAndKeepsWhatWasFound) {
    for (int i = 0; i < 12; ++i) Audio("root/d" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".fake");
    intake.RequestStop();
    intake.ScanFolder((dir / "root").string(), true);
    EXPECT_TRUE(fake.opened.empty());

    intake.ClearStop();
    fake.onOpen = [&](const std::string&) {
        if (fake.opened.size() == 5) intake.RequestStop();
    };
    intake.ScanFolder((dir / "root").string(), true);
    EXPECT_EQ(fake.opened.size(), 5u);
    EXPECT_EQ(intake.Pending().size(), 5u);
    EXPECT_EQ(intake.addfilefromthread(rows), 5u);
}

// As the front end uses it: the scan runs on its own thread and the stop comes from another one.
TEST_F(Intake, StopFromAnotherThreadEndsAScanOnItsThread) {
    for (int i = 0; i < 8; ++i) Audio("root/f" + std::to_string(i) + ".fake");
    std::promise<void> firstOpened;
    std::promise<void> stopSent;
    fake.onOpen = [&, stop = stopSent.get_future().share()](const std::string&) {
        if (fake.opened.size() != 1) return;
        firstOpened.set_value();
        stop.wait();
    };
    int result = 0;
    std::thread scan([&] { result = intake.Scan({(dir / "root").string()}, true); });
    firstOpened.get_future().wait();
    intake.RequestStop();
    stopSent.set_value();
    scan.join();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(fake.opened.size(), 1u);
    EXPECT_EQ(intake.addfilefromthread(rows), 1u);
}

TEST_F(Intake, FailingFileIsReportedAndTheScanGoesOn) {
    const std::string good = Audio("root/good.fake");
    const std::string alsoGood = Audio("root/sub/also.fake");
    WriteText(dir / "root/broken.fake", "broken 5");
    std::vector<std::string> errors;
    intake.OnFileError = [&](const std::string& text) { errors.push_back(text); };
    EXPECT_EQ(intake.Scan({(dir / "root").string()}, true), 1);
    EXPECT_EQ(errors,
              (std::vector<std::string>{"Could not add file: " + (dir / "root/broken.fake").string()}));
    EXPECT_EQ(Sorted(Paths(intake.Pending())), Sorted({good, alsoGood}));
}

// Folders reached again through links are not scanned again; pipes and dangling links are not opened.
TEST_F(Intake, ScanEndsOnLinkLoopsAndOpensOnlyRegularFiles) {
    const std::string a = Audio("root/a.fake");
    const std::string b = Audio("root/sub/b.fake");
    const std::string target = Audio("target/linked.fake");
    fs::create_directory_symlink(dir / "root", dir / "root/sub/up");
    fs::create_directory_symlink(dir / "root/sub", dir / "root/sub/self");
    fs::create_symlink(dir / "target/linked.fake", dir / "root/link.fake");
    fs::create_symlink(dir / "nowhere.fake", dir / "root/dangling.fake");
    ASSERT_EQ(mkfifo((dir / "root/pipe.fake").c_str(), 0600), 0);

    intake.ScanFolder((dir / "root").string(), true);
    EXPECT_EQ(Sorted(Paths(intake.Pending())), Sorted({a, b, (dir / "root/link.fake").string()}));
    EXPECT_EQ(Sorted(fake.opened), Sorted({a, b, (dir / "root/link.fake").string()}));
}

TEST_F(Intake, ScanTakesTheFoldersInOrder) {
    const std::string first = Audio("one/x.fake");
    const std::string second = Audio("two/y.fake");
    EXPECT_EQ(intake.Scan({(dir / "two").string(), (dir / "one").string() + "/"}, false), 1);
    EXPECT_EQ(Paths(intake.Pending()), (std::vector<std::string>{second, first}));
}

TEST(NameOrder, IsTheFileManagersOrder) {
    // Each list is in the expected order; every pair is checked both ways.
    const std::vector<std::vector<std::string>> cases = {
        {"01 - Song #1.flac", "02 - Song #2.flac", "03 - Song #3.flac"},
        {"Track 2.wav", "track 3.wav", "Track 10.wav", "Track 100.wav"},
        {"a.wav", "B.wav", "c.wav"},
        {"disc1", "Disc2", "disc10"},
        {"x9y", "x10", "x10y2", "x10y10"},
        {"1.wav", "01.wav", "001.wav", "2.wav"},
        {"Song", "song", "Song 2", "Songs"},
        {"18446744073709551616 a", "36893488147419103232 a"},                    // beyond 64 bits
        {"\xc3\xa9t\xc3\xa9 1", "\xc3\x89T\xc3\x89 2", "\xc3\xa9t\xc3\xa9 10"},  // été, ÉTÉ
        {"\xd0\xb0", "\xd0\x91", "\xd0\xb2"},                                    // а, Б, в
    };
    for (const auto& names : cases) {
        for (size_t i = 0; i < names.size(); ++i) {
            EXPECT_FALSE(NameLess(names[i], names[i])) << names[i];
            for (size_t j = i + 1; j < names.size(); ++j) {
                EXPECT_TRUE(NameLess(names[i], names[j])) << names[i] << " before " << names[j];
                EXPECT_FALSE(NameLess(names[j], names[i])) << names[j] << " after " << names[i];
            }
        }
    }
    // Invalid UTF-8 neither crashes nor breaks the order's consistency.
    EXPECT_NE(NameLess("a\xff", "a\xfe"), NameLess("a\xfe", "a\xff"));
    EXPECT_NE(NameLess("a\xc3", "a\xc3\xa9"), NameLess("a\xc3\xa9", "a\xc3"));
}

// Whatever order the file system keeps, each folder is taken in name order, subfolders where their names
// fall.
TEST_F(Intake, ScanTakesEachFolderInNameOrder) {
    const std::vector<std::string> created = {"Track 10.fake", "sub 2/b.fake",   "Track 1.fake",
                                              "sub 10/a.fake", "track 2.fake",   "sub 2/A.fake",
                                              "Zed.fake",      "sub 10/B 1.fake"};
    for (const std::string& name : created) Audio("root/" + name);
    intake.ScanFolder((dir / "root").string(), true);
    std::vector<std::string> expected;
    for (const char* name : {"sub 2/A.fake", "sub 2/b.fake", "sub 10/a.fake", "sub 10/B 1.fake",
                             "Track 1.fake", "track 2.fake", "Track 10.fake", "Zed.fake"})
        expected.push_back((dir / "root" / name).string());
    EXPECT_EQ(Paths(intake.Pending()), expected);
}

// ---- Through the real source registry ----

TEST(IntakeWithRegistry, GeneratedFilesShowTheirFormatAndDuration) {
    TempDir dir;
    testsupport::PcmSpec stereo{44100, 2, testsupport::SampleKind::S16};
    testsupport::PcmSpec mono{22050, 1, testsupport::SampleKind::S24};
    testsupport::WriteBytes(dir / "a.wav",
                            testsupport::WavFile(stereo, testsupport::SinePcm(stereo, 44100 * 7 / 2)));
    testsupport::WriteBytes(dir / "b.aiff",
                            testsupport::AiffFile(mono, testsupport::SinePcm(mono, 22050 * 62)));
    WriteText(dir / "list.m3u", "b.aiff\na.wav\n");

    TDecManager registry;
    registry.Init();
    TIntake intake(registry);
    std::vector<TFilesItem> rows;
    intake.addfile((dir / "list.m3u").string(), rows);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0],
              (TFilesItem{"b", (dir / "b.aiff").string(), "AIFF 22050 Hz/1 Ch", "00:01:02", fsReady}));
    EXPECT_EQ(rows[1], (TFilesItem{"a", (dir / "a.wav").string(), "WAV 44100 Hz/2 Ch", "00:00:03", fsReady}));
    registry.Done();
}

TEST(IntakeWithRegistry, ACueSheetAddsItsAudioTracksInOrder) {
    TempDir dir;
    const auto image = testsupport::MakeCdImage(
        dir.path(), "disc", {{588 * 75 * 3}, {588 * 40, false}, {588 * 75 * 62}, {588 * 10}});
    // Through a playlist as well: the sheet stands for its tracks wherever it is named.
    WriteText(dir / "list.m3u", "disc.cue\n");
    setenv("WAVETROVE_CDDB_SERVER", "", 1);
    TDecManager registry;
    registry.Init();
    TIntake intake(registry);
    std::vector<TFilesItem> rows;
    EXPECT_EQ(intake.addfile(image.cue.string(), rows), 3u);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (TFilesItem{"Track01", image.TrackName(0), "Audio CD Track", "00:00:03", fsReady}));
    EXPECT_EQ(rows[1], (TFilesItem{"Track03", image.TrackName(2), "Audio CD Track", "00:01:02", fsReady}));
    EXPECT_EQ(rows[2].path, image.TrackName(3));
    EXPECT_EQ(intake.addfile((dir / "list.m3u").string(), rows), 0u);  // the same tracks again: duplicates
    // A track that cannot be read is not listed; a damaged sheet lists nothing.
    EXPECT_EQ(intake.addfile(image.TrackName(1), rows), 0u);
    WriteText(dir / "bad.cue", "FILE \"disc.bin\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
    EXPECT_EQ(intake.addfile((dir / "bad.cue").string(), rows), 0u);
    registry.Done();
}
