// The installed tree: every file in its place, the programs and add-ons finding each other in the private
// library folder (never in the build folder), a real conversion, and the files desktops and Debian check.
#include <gtest/gtest.h>

#include <QMimeDatabase>
#include <QMimeType>
#include <QString>
#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "install_tree.h"
#include "support/audio_fixtures.h"

namespace {

namespace fs = std::filesystem;
using installtest::InstalledTree;
using testsupport::RunCommand;
using testsupport::ShellQuote;

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string ReadText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

// The words of `text` that start with `lead` and go on with characters of `rest` (lead included).
std::set<std::string> WordsAfter(const std::string& text, const std::string& lead, const std::string& rest) {
    std::set<std::string> words;
    for (size_t at = text.find(lead); at != std::string::npos; at = text.find(lead, at + 1)) {
        const size_t end = text.find_first_not_of(rest, at + lead.size());
        if (end != at + lead.size()) words.insert(text.substr(at, end - at));
    }
    return words;
}

// The libraries whose initialisers the loader ran, from an LD_DEBUG=files log, by canonical path.
std::set<fs::path> Initialised(const std::string& log) {
    std::set<fs::path> libraries;
    const std::string mark = "calling init: ";
    for (size_t at = log.find(mark); at != std::string::npos; at = log.find(mark, at + 1)) {
        const size_t start = at + mark.size();
        std::error_code error;
        const fs::path path = fs::weakly_canonical(log.substr(start, log.find('\n', start) - start), error);
        if (!error) libraries.insert(path);
    }
    return libraries;
}

std::vector<std::string> Programs() {
    std::vector<std::string> programs = {"wavetrove-cli", "wavetrove-probe"};
    if (WAVETROVE_GUI_INSTALLED) programs.push_back("wavetrove");
    return programs;
}

class Installed : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(tree.Ok()) << tree.Log(); }
    const InstalledTree& tree = InstalledTree::Get();
    testsupport::TempDir work;
};

TEST_F(Installed, EveryPartIsInItsPlace) {
    for (const std::string& program : Programs()) {
        EXPECT_TRUE(fs::is_regular_file(tree.Bin(program))) << program;
        EXPECT_TRUE(fs::is_regular_file(tree.Share("man/man1/" + program + ".1.gz"))) << program;
    }
    for (const char* addon : {"libbass.so", "libffdeck.so", "libtagwrapper.so", "libbasscd.so"})
        EXPECT_TRUE(fs::is_regular_file(tree.LibDir() / addon)) << addon;
    EXPECT_TRUE(fs::is_regular_file(tree.Share("bash-completion/completions/wavetrove-cli")));
    EXPECT_TRUE(fs::is_regular_file(tree.Share("doc/wavetrove/copyright")));
    EXPECT_TRUE(fs::is_regular_file(tree.Share("doc/wavetrove/changelog.gz")));
    // Nothing of ours lands in the system's library folder.
    EXPECT_FALSE(fs::exists(tree.Root() / "lib" / "libbass.so"));

    if (!WAVETROVE_GUI_INSTALLED) return;
    // Help looks for the manual at this place relative to the program.
    EXPECT_TRUE(fs::is_regular_file(tree.Root() / "bin" / WAVETROVE_DATA_FROM_BIN / "wavetrove.html"));
    EXPECT_TRUE(fs::is_regular_file(tree.Share("icons/hicolor/scalable/apps/wavetrove.svg")));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const std::string name = std::to_string(size) + "x" + std::to_string(size);
        const auto png = testsupport::ReadBytes(tree.Share("icons/hicolor/" + name + "/apps/wavetrove.png"));
        ASSERT_GE(png.size(), 24u) << name;
        EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG") << name;
        // The IHDR chunk's width and height, big-endian, must match the folder the icon is in.
        auto be32 = [&](size_t at) {
            return (png[at] << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3];
        };
        EXPECT_EQ(be32(16), size) << name;
        EXPECT_EQ(be32(20), size) << name;
    }
}

// Every library a program or add-on needs resolves, and none from the build folder: an absolute build
// path left in a RUNPATH would still work here but not on a user's machine.
TEST_F(Installed, LibrariesResolveWithinTheInstalledTree) {
    std::vector<fs::path> elves;
    for (const fs::path& folder : {tree.Root() / "bin", tree.LibDir()})
        for (const auto& entry : fs::directory_iterator(folder)) {
            const auto bytes = testsupport::ReadBytes(entry.path());
            if (bytes.size() > 4 && std::string(bytes.begin(), bytes.begin() + 4) ==
                                        "\x7f"
                                        "ELF")
                elves.push_back(entry.path());
        }
    ASSERT_GE(elves.size(), 6u);
    for (const fs::path& elf : elves) {
        const auto r = RunCommand("env -u LD_LIBRARY_PATH ldd " + ShellQuote(elf.string()) + " 2>&1");
        EXPECT_EQ(r.status, 0) << elf << "\n" << r.out;
        EXPECT_FALSE(Has(r.out, "not found")) << elf << "\n" << r.out;
        EXPECT_FALSE(Has(r.out, WAVETROVE_BUILD_DIR)) << elf << "\n" << r.out;
        const auto runpath = RunCommand("readelf -d " + ShellQuote(elf.string()) + " | grep -E 'R(UN)?PATH'");
        EXPECT_FALSE(Has(runpath.out, WAVETROVE_BUILD_DIR)) << elf << "\n" << runpath.out;
    }
}

// The installed tools decode a FLAC file (the FFmpeg add-on), read and copy its tags (the tag library) and
// write Apple Lossless in M4A (the ALAC and MP4 libraries), all loaded from the private folder.
TEST_F(Installed, ToolsConvertWithTheirOwnAddOns) {
    const testsupport::PcmSpec spec{44100, 2, testsupport::SampleKind::S16};
    const auto pcm = testsupport::NoisePcm(spec, 44100);
    const fs::path wav = work / "in.wav";
    const fs::path flac = work / "in.flac";
    testsupport::WriteBytes(wav, testsupport::WavFile(spec, pcm));
    auto made = RunCommand("flac -s -f --tag=TITLE=Installed -o " + ShellQuote(flac.string()) + " " +
                           ShellQuote(wav.string()) + " 2>&1");
    ASSERT_EQ(made.status, 0) << made.out;

    const fs::path loaderLog = work / "loader.txt";
    const std::string traced = "LD_DEBUG=files ";
    auto probe =
        RunCommand(traced + tree.Command("wavetrove-probe", ShellQuote(flac.string()), work / "cfg") + " 2>" +
                   ShellQuote(loaderLog.string()));
    EXPECT_EQ(probe.status, 0) << probe.out;
    EXPECT_TRUE(Has(probe.out, "class: TFLACReader\nvalid: true\n")) << probe.out;
    EXPECT_TRUE(Has(probe.out, "title: Installed\n")) << probe.out;
    std::string loads = ReadText(loaderLog);
    const fs::path libDir = fs::canonical(tree.LibDir());
    for (const char* addon : {"libffdeck.so", "libtagwrapper.so"})
        EXPECT_TRUE(Initialised(loads).count(libDir / addon)) << addon << "\n" << loads;
    EXPECT_FALSE(Has(loads, WAVETROVE_BUILD_DIR));

    const fs::path out = work / "out";
    auto cli =
        RunCommand(traced +
                   tree.Command("wavetrove-cli",
                                "-q -f alac -o " + ShellQuote(out.string()) + " " + ShellQuote(flac.string()),
                                work / "cfg") +
                   " 2>" + ShellQuote(loaderLog.string()));
    ASSERT_EQ(cli.status, 0) << cli.out;
    loads = ReadText(loaderLog);
    for (const char* library : {"libffdeck.so", "libtagwrapper.so", "libalac.so", "libmp4v2.so"})
        EXPECT_TRUE(Initialised(loads).count(libDir / library)) << library;
    EXPECT_FALSE(Has(loads, WAVETROVE_BUILD_DIR));

    const fs::path m4a = out / "in.m4a";
    ASSERT_TRUE(fs::exists(m4a));
    EXPECT_TRUE(testsupport::FfmpegDecode(m4a, "s16le") == pcm) << "lossless conversion changed samples";
    auto title = RunCommand("ffprobe -v error -show_entries format_tags=title -of default=nw=1:nk=1 " +
                            ShellQuote(m4a.string()));
    EXPECT_EQ(title.out, "Installed\n");
}

TEST_F(Installed, DesktopEntryAndMetainfoValidate) {
    if (!WAVETROVE_GUI_INSTALLED) GTEST_SKIP() << "built without the desktop program";
    const fs::path desktop = tree.Share(std::string("applications/") + WAVETROVE_APP_ID + ".desktop");
    const fs::path metainfo = tree.Share(std::string("metainfo/") + WAVETROVE_APP_ID + ".metainfo.xml");
    auto r = RunCommand("desktop-file-validate " + ShellQuote(desktop.string()) + " 2>&1");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "");
    r = RunCommand("appstreamcli validate --no-net " + ShellQuote(metainfo.string()) + " 2>&1");
    EXPECT_EQ(r.status, 0) << r.out;

    // What they name must be installed: the program, its icon, the desktop entry.
    const std::string entry = ReadText(desktop);
    EXPECT_TRUE(Has(entry, "\nExec=wavetrove %F\n")) << entry;
    EXPECT_TRUE(Has(entry, "\nIcon=wavetrove\n")) << entry;
    EXPECT_TRUE(Has(ReadText(metainfo), std::string("<launchable type=\"desktop-id\">") + WAVETROVE_APP_ID +
                                            ".desktop</launchable>"));
}

// The desktop entry offers the program for the audio types it opens, and only for those.
TEST_F(Installed, DesktopEntryListsTheTypesTheProgramOpens) {
    if (!WAVETROVE_GUI_INSTALLED) GTEST_SKIP() << "built without the desktop program";
    const std::string entry =
        ReadText(tree.Share(std::string("applications/") + WAVETROVE_APP_ID + ".desktop"));
    const size_t line = entry.find("\nMimeType=");
    ASSERT_NE(line, std::string::npos);
    std::set<std::string> listed;
    std::stringstream types(entry.substr(line + 10, entry.find('\n', line + 1) - line - 10));
    for (std::string type; std::getline(types, type, ';');)
        if (!type.empty()) listed.insert(type);

    const auto filter = RunCommand(tree.Command("wavetrove-probe", "--open-filter", work / "cfg"));
    ASSERT_EQ(filter.status, 0);
    // "*.flac;*.wv;" and "(*.pls)": every extension the program's open dialog offers.
    std::set<std::string> extensions;
    for (const std::string& glob : WordsAfter(filter.out, "*.", "abcdefghijklmnopqrstuvwxyz0123456789+"))
        extensions.insert(glob.substr(2));
    ASSERT_GT(extensions.size(), 30u) << filter.out;

    const QMimeDatabase db;
    for (const std::string& extension : extensions) {
        std::vector<std::string> audio;
        for (const QMimeType& type : db.mimeTypesForFileName(QString::fromStdString("x." + extension))) {
            if (!type.name().startsWith(QLatin1String("audio/"))) continue;
            audio.push_back(type.name().toStdString());
            for (const QString& alias : type.aliases()) audio.push_back(alias.toStdString());
        }
        if (audio.empty()) continue;  // no audio type is registered for it
        EXPECT_TRUE(std::any_of(audio.begin(), audio.end(), [&](const auto& t) { return listed.count(t); }))
            << "." << extension << " opens, but none of its types is listed, e.g. " << audio.front();
    }
    for (const std::string& name : listed) {
        const QMimeType type = db.mimeTypeForName(QString::fromStdString(name));
        ASSERT_TRUE(type.isValid()) << name;
        const QStringList suffixes = type.suffixes();
        EXPECT_TRUE(
            std::any_of(suffixes.begin(), suffixes.end(),
                        [&](const QString& s) { return extensions.count(s.toLower().toStdString()); }))
            << name << " is listed, but the program opens none of its extensions";
    }
}

// Each program's man page renders without a warning and describes every option its --help names.
TEST_F(Installed, ManPagesRenderAndNameEveryOption) {
    for (const std::string& program : Programs()) {
        const fs::path page = tree.Share("man/man1/" + program + ".1.gz");
        // As lintian checks a page: warnings of every kind (groff -ww), UTF-8, 80 columns.
        auto r =
            RunCommand("LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings=w -E UTF-8 -l -Tutf8 -Z " +
                       ShellQuote(page.string()) + " 2>&1 >/dev/null");
        EXPECT_EQ(r.status, 0) << program << "\n" << r.out;
        EXPECT_EQ(r.out, "") << program;

        // Plain text on lines long enough that no option is broken across two.
        const auto text =
            RunCommand("zcat " + ShellQuote(page.string()) + " | groff -man -Tascii -P-cbou -rLL=4000n");
        ASSERT_EQ(text.status, 0);
        EXPECT_TRUE(Has(text.out, "NAME\n       " + program + " - ")) << text.out;
        const auto help = RunCommand(tree.Command(program, "--help", work / "cfg"));
        ASSERT_EQ(help.status, 0) << program;
        for (const std::string& option : WordsAfter(help.out, "--", "abcdefghijklmnopqrstuvwxyz0123456789-"))
            if (option.size() > 2 && option[2] != '-') {
                EXPECT_TRUE(Has(text.out, option)) << program << "'s man page does not mention " << option;
            }
    }
}

}  // namespace
