// Tests of the settings record's storage: defaults on first start, every value's name and type, the
// registry-style reading rules (case-insensitive names, non-zero bools, wrong kinds keep the default).
#include "wvt/settings.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

#include "support/audio_fixtures.h"

namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {

// The [Settings] section of an INI file read by hand, so that what is stored is checked without QSettings.
std::map<std::string, std::string> ReadSection(const fs::path& file,
                                               const std::string& section = "Settings") {
    std::ifstream in(file);
    std::map<std::string, std::string> values;
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.front() == '[') {
            inside = line == "[" + section + "]";
            continue;
        }
        const auto eq = line.find('=');
        if (inside && eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

std::string Lower(std::string text) {
    for (char& ch : text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return text;
}

void WriteText(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
}

struct FieldCase {
    const char* name;
    std::function<std::string(const config&)> get;  // the field as the text stored for it
    std::string def;                                // default, as stored
    std::string stored;                             // a value other than the default
};

#define INT_FIELD(field, def, stored)                                                \
    FieldCase {                                                                      \
#field, [](const config& c) { return std::to_string(c.field); }, def, stored \
    }
#define BOOL_FIELD(field, def)                                                                         \
    FieldCase {                                                                                        \
#field, [](const config& c) { return std::string(c.field ? "1" : "0"); }, def,                 \
                                                                               def == std::string("1") \
                                                                               ? "0" : "1"             \
    }
#define COL_FIELD(i, def, stored)                                                       \
    FieldCase {                                                                         \
        "col" #i, [](const config& c) { return std::to_string(c.col[i]); }, def, stored \
    }

// Every value with a constant default, as the settings table lists them.
const FieldCase kConstantFields[] = {
    BOOL_FIELD(samefolder, "0"),
    INT_FIELD(width, "-1", "1024"),
    INT_FIELD(height, "-1", "768"),
    BOOL_FIELD(openfolder, "0"),
    COL_FIELD(0, "300", "301"),
    COL_FIELD(1, "150", "151"),
    COL_FIELD(2, "100", "102"),
    COL_FIELD(3, "100", "103"),
    COL_FIELD(4, "100", "104"),
    INT_FIELD(codec, "0", "7"),
    INT_FIELD(mp3srate, "0", "9"),
    INT_FIELD(mp3mode, "0", "4"),
    INT_FIELD(mp3bitrate, "5", "14"),
    BOOL_FIELD(mp3private, "0"),
    BOOL_FIELD(mp3original, "0"),
    BOOL_FIELD(mp3copyright, "0"),
    BOOL_FIELD(mp3crc, "0"),
    BOOL_FIELD(mp3vbr, "0"),
    INT_FIELD(mp3vbrquality, "5", "9"),
    INT_FIELD(wmacodec, "0", "3"),
    INT_FIELD(wmaformat, "0", "11"),
    INT_FIELD(oggsrate, "0", "12"),
    INT_FIELD(oggmode, "0", "2"),
    INT_FIELD(oggquality, "5", "10"),
    INT_FIELD(wavsrate, "0", "3"),
    INT_FIELD(wavmode, "0", "1"),
    INT_FIELD(wavbps, "2", "5"),
    INT_FIELD(aifsrate, "0", "4"),
    INT_FIELD(aifmode, "0", "2"),
    INT_FIELD(aifbps, "2", "3"),
    INT_FIELD(amrbitrate, "0", "6"),
    INT_FIELD(amrsamplerate, "1", "0"),
    INT_FIELD(flacsamplerate, "0", "5"),
    INT_FIELD(flacmode, "0", "1"),
    INT_FIELD(flacbps, "0", "24"),
    INT_FIELD(flaccompression, "5", "8"),
    BOOL_FIELD(flacnonsubset, "0"),
    INT_FIELD(apesamplerate, "0", "6"),
    INT_FIELD(apemode, "0", "2"),
    INT_FIELD(apebps, "0", "16"),
    INT_FIELD(apecompression, "2", "5"),
    INT_FIELD(aacsamplerate, "0", "7"),
    INT_FIELD(aacmode, "0", "1"),
    INT_FIELD(aacbitrate, "4", "0"),
    INT_FIELD(alacsamplerate, "0", "8"),
    INT_FIELD(alacmode, "0", "2"),
    INT_FIELD(alacbps, "0", "20"),
    BOOL_FIELD(alacfastmode, "0"),
    BOOL_FIELD(recurse, "1"),
    BOOL_FIELD(tags, "1"),
    BOOL_FIELD(retaindate, "0"),
    BOOL_FIELD(keepfolder, "0"),
    BOOL_FIELD(checkupdates, "1"),
    INT_FIELD(overwrite, "2", "3"),
    INT_FIELD(opussamplerate, "0", "5"),
    INT_FIELD(opusmode, "0", "1"),
    INT_FIELD(opusbitrate, "6", "17"),
    INT_FIELD(opusvbrmode, "1", "0"),
    INT_FIELD(wvsamplerate, "0", "9"),
    INT_FIELD(wvmode, "0", "2"),
    INT_FIELD(wvcompression, "1", "2"),
    INT_FIELD(wvbps, "0", "32"),
    INT_FIELD(priority, "3", "6"),
};

// The values whose defaults depend on the machine, with the text stored for them.
const FieldCase kMachineFields[] = {
    {"path", [](const config& c) { return c.path; }, "", "/opt/elsewhere/"},
    {"output", [](const config& c) { return c.output; }, "", "/srv/converted"},
    {"recent", [](const config& c) { return c.recent; }, "", "/home/someone/incoming/"},
    {"threadscount", [](const config& c) { return std::to_string(c.threadscount); }, "", "13"},
};

std::string CaseName(const testing::TestParamInfo<FieldCase>& info) {
    return info.param.name;
}

config Loaded(const fs::path& file) {
    config settings;
    LoadSettings(settings, file);
    return settings;
}

}  // namespace

TEST(Settings, FirstStartGivesDefaultsCreatesTheFileAndSavesEveryValue) {
    TempDir dir;
    const fs::path file = dir / "sub/wavetrove.ini";
    const config settings = Loaded(file);
    EXPECT_TRUE(fs::exists(file));

    for (const FieldCase& field : kConstantFields) {
        EXPECT_EQ(field.get(settings), field.def) << field.name;
    }
    const std::string binDir = fs::weakly_canonical(testsupport::BinDir()).string() + "/";
    EXPECT_EQ(settings.path, binDir);
    EXPECT_EQ(settings.recent, binDir);
    EXPECT_EQ(settings.output, MusicFolder());
    EXPECT_EQ(settings.threadscount, static_cast<int>(std::thread::hardware_concurrency()));

    SaveSettings(settings, file);
    const auto stored = ReadSection(file);
    EXPECT_EQ(stored.size(), std::size(kConstantFields) + std::size(kMachineFields));
    for (const FieldCase& field : kConstantFields) {
        ASSERT_TRUE(stored.count(field.name)) << field.name;
        EXPECT_EQ(stored.at(field.name), field.def) << field.name;
    }
    EXPECT_EQ(stored.at("threadscount"), std::to_string(settings.threadscount));
    EXPECT_EQ(Loaded(file), settings);
}

class SettingsField : public testing::TestWithParam<FieldCase> {};

// Each value is found under its own name, lands in its own field, and is written back under that name.
TEST_P(SettingsField, StoredValueIsLoadedAndWrittenBack) {
    const FieldCase& field = GetParam();
    TempDir dir;
    WriteText(dir / "in.ini", "[Settings]\n" + std::string(field.name) + "=" + field.stored + "\n");
    const config settings = Loaded(dir / "in.ini");
    EXPECT_EQ(field.get(settings), field.stored);

    // Nothing else moved: the same record with this one field reset equals a fresh default record.
    config defaults = Loaded(dir / "none.ini");
    EXPECT_NE(settings, defaults);
    // (A new file: QSettings keeps a parsed file cached while its size and time look unchanged.)
    WriteText(dir / "reset.ini", "[Settings]\n" + std::string(field.name) + "=" + field.get(defaults) + "\n");
    EXPECT_EQ(Loaded(dir / "reset.ini"), defaults);

    SaveSettings(settings, dir / "out.ini");
    EXPECT_EQ(ReadSection(dir / "out.ini").at(field.name), field.stored);
}
INSTANTIATE_TEST_SUITE_P(Constant, SettingsField, testing::ValuesIn(kConstantFields), CaseName);
INSTANTIATE_TEST_SUITE_P(Machine, SettingsField, testing::ValuesIn(kMachineFields), CaseName);

struct RawCase {
    const char* stored;  // raw INI line
    std::function<std::string(const config&)> get;
    std::string loaded;  // the field as text after loading
    std::string saved;   // what saving writes for it
    const char* key;     // the name it is saved under
};

class SettingsRawValue : public testing::TestWithParam<RawCase> {};

TEST_P(SettingsRawValue, IsReadAsTheRegistryWould) {
    const RawCase& c = GetParam();
    TempDir dir;
    WriteText(dir / "in.ini", std::string("[Settings]\n") + c.stored + "\n");
    const config settings = Loaded(dir / "in.ini");
    EXPECT_EQ(c.get(settings), c.loaded);
    SaveSettings(settings, dir / "in.ini");
    const auto stored = ReadSection(dir / "in.ini");
    EXPECT_EQ(stored.at(c.key), c.saved);
    // Other spellings of the same name are gone, so the next load cannot pick a stale one.
    for (const auto& [key, value] : stored) {
        if (key != c.key) {
            EXPECT_NE(Lower(key), Lower(c.key)) << key;
        }
    }
}

const auto kGetMp3Vbr = [](const config& c) { return std::string(c.mp3vbr ? "1" : "0"); };
const auto kGetRecurse = [](const config& c) { return std::string(c.recurse ? "1" : "0"); };
const auto kGetPath = [](const config& c) { return c.path; };
const auto kGetCodec = [](const config& c) { return std::to_string(c.codec); };
const auto kGetCol2 = [](const config& c) { return std::to_string(c.col[2]); };

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsRawValue,
    testing::Values(
        // Any non-zero number is true; it goes back as 1.
        RawCase{"mp3vbr=7", kGetMp3Vbr, "1", "1", "mp3vbr"},
        RawCase{"mp3vbr=-2", kGetMp3Vbr, "1", "1", "mp3vbr"},
        RawCase{"recurse=0", kGetRecurse, "0", "0", "recurse"},
        RawCase{"recurse=false", kGetRecurse, "0", "0", "recurse"},
        // Names match in any letter case.
        RawCase{"Path=/from/another/tool/", kGetPath, "/from/another/tool/", "/from/another/tool/", "path"},
        RawCase{"PATH=/upper/", kGetPath, "/upper/", "/upper/", "path"},
        RawCase{"Codec=4", kGetCodec, "4", "4", "codec"}, RawCase{"COL2=77", kGetCol2, "77", "77", "col2"},
        // A value of the wrong kind keeps the default.
        RawCase{"codec=abc", kGetCodec, "0", "0", "codec"},
        RawCase{"codec=12abc", kGetCodec, "0", "0", "codec"}, RawCase{"codec=", kGetCodec, "0", "0", "codec"},
        RawCase{"codec=1.5", kGetCodec, "0", "0", "codec"},
        RawCase{"codec=99999999999", kGetCodec, "0", "0", "codec"},
        RawCase{"recurse=yes", kGetRecurse, "1", "1", "recurse"},
        RawCase{"col2=wide", kGetCol2, "100", "100", "col2"},
        // Negative numbers are numbers.
        RawCase{"codec=-3", kGetCodec, "-3", "-3", "codec"}));

// Folder names may hold anything a file name can; each must come back exactly as it was saved.
TEST(Settings, TextsSurviveSaveAndLoad) {
    const std::string texts[] = {
        "/music/Rock, Pop & Jazz/",
        "/music/a;b=c#d/",
        " /leading and trailing blanks/ ",
        "@literal/at/sign",
        "C:\\Windows\\style\\",
        "/music/Ünïcödé ♫/",
        "/music/\"quoted\"/",
        "",
    };
    TempDir dir;
    for (const std::string& text : texts) {
        config settings = Loaded(dir / "a.ini");
        settings.output = text;
        settings.recent = text + "x";
        SaveSettings(settings, dir / "a.ini");
        const config back = Loaded(dir / "a.ini");
        EXPECT_EQ(back.output, text);
        EXPECT_EQ(back.recent, text + "x");
    }
}

// Values this record does not own, in its group or elsewhere, are left as they were.
TEST(Settings, SaveKeepsForeignValues) {
    TempDir dir;
    WriteText(dir / "a.ini", "[Settings]\ncodec=3\nlastversion=1.2\n\n[Other]\nkey=value\n");
    config settings = Loaded(dir / "a.ini");
    settings.codec = 5;
    SaveSettings(settings, dir / "a.ini");
    EXPECT_EQ(ReadSection(dir / "a.ini").at("codec"), "5");
    EXPECT_EQ(ReadSection(dir / "a.ini").at("lastversion"), "1.2");
    EXPECT_EQ(ReadSection(dir / "a.ini", "Other").at("key"), "value");
}

// A location that can never hold a file (below a regular file) gives defaults and a silent save.
TEST(Settings, UnusableLocationIsSilent) {
    TempDir dir;
    WriteText(dir / "plain", "not a folder");
    const fs::path file = dir / "plain/wavetrove.ini";
    config settings;
    EXPECT_NO_THROW(LoadSettings(settings, file));
    EXPECT_EQ(settings.codec, 0);
    settings.codec = 4;
    EXPECT_NO_THROW(SaveSettings(settings, file));
    EXPECT_FALSE(fs::exists(file));
}

// The program's own location follows XDG_CONFIG_HOME, which main() points at a fresh folder.
TEST(Settings, DefaultLocationIsUnderTheConfigFolder) {
    const fs::path expected = fs::path(std::getenv("XDG_CONFIG_HOME")) / "Quillsound/wavetrove.ini";
    EXPECT_EQ(SettingsFile(), expected);
    config settings;
    LoadSettings(settings);
    EXPECT_TRUE(fs::exists(expected));
    settings.overwrite = 1;
    SaveSettings(settings);
    EXPECT_EQ(ReadSection(expected).at("overwrite"), "1");
    config back;
    LoadSettings(back);
    EXPECT_EQ(back, settings);
}

TEST(Settings, MusicFolderComesFromTheUserDirsAndMustExist) {
    TempDir dir;
    const fs::path userDirs = fs::path(std::getenv("XDG_CONFIG_HOME")) / "user-dirs.dirs";
    fs::create_directories(dir / "My Music");
    WriteText(userDirs, "XDG_MUSIC_DIR=\"" + (dir / "My Music").string() + "\"\n");
    EXPECT_EQ(MusicFolder(), (dir / "My Music").string());

    WriteText(userDirs, "XDG_MUSIC_DIR=\"" + (dir / "gone").string() + "\"\n");
    EXPECT_EQ(MusicFolder(), "");
    fs::remove(userDirs);
}

TEST(Settings, ProcessorCountIsTheLogicalProcessors) {
    const unsigned reported = std::thread::hardware_concurrency();
    EXPECT_EQ(ProcessorCount(), reported == 0 ? 1 : static_cast<int>(reported));
    EXPECT_GE(ProcessorCount(), 1);
}

// Settings tests must never touch the real user's configuration: point the config folder at a temporary one
// before anything asks Qt for it.
int main(int argc, char** argv) {
    TempDir configHome;
    setenv("XDG_CONFIG_HOME", configHome.path().c_str(), 1);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
