// The installed bash completion of wavetrove-cli, run in bash with bash-completion as a user's shell has it.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>

#include "install_tree.h"
#include "support/audio_fixtures.h"

namespace {

namespace fs = std::filesystem;
using installtest::InstalledTree;
using testsupport::RunCommand;
using testsupport::ShellQuote;

class Completion : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(tree.Ok()) << tree.Log();
        fs::create_directories(work / "music" / "sub");
        fs::create_directories(work / "cfg");
        for (const char* name :
             {"a.flac", "B.WAV", "c.mp3", "list.m3u", "disc.cue", "notes.txt", "cover.jpg"})
            testsupport::WriteBytes(work / "music" / name, {0});
    }

    // The words bash offers when the command line is `line` and the cursor is at its end, run from the
    // music folder with the installed programs first on the path.
    std::set<std::string> Complete(const std::string& line) const {
        const std::string script =
            "source /usr/share/bash-completion/bash_completion\n"
            "source " +
            ShellQuote(tree.Share("bash-completion/completions/wavetrove-cli").string()) +
            "\n"
            "COMP_LINE=" +
            ShellQuote(line) +
            "\nCOMP_POINT=${#COMP_LINE}\n"
            "read -ra COMP_WORDS <<<\"$COMP_LINE\"\n"
            "[[ $COMP_LINE == *' ' ]] && COMP_WORDS+=('')\n"
            "COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n"
            "_wavetrove_cli wavetrove-cli \"${COMP_WORDS[COMP_CWORD]}\" \"${COMP_WORDS[COMP_CWORD-1]}\"\n"
            "printf '%s\\n' \"${COMPREPLY[@]}\"\n";
        const auto r =
            RunCommand("cd " + ShellQuote((work / "music").string()) +
                       " && env -u LD_LIBRARY_PATH PATH=" + ShellQuote(tree.Root().string() + "/bin") +
                       ":\"$PATH\" XDG_CONFIG_HOME=" + ShellQuote((work / "cfg").string()) +
                       " bash --norc -c " + ShellQuote(script) + " </dev/null");
        EXPECT_EQ(r.status, 0) << line;
        std::set<std::string> words;
        std::stringstream lines(r.out);
        for (std::string word; std::getline(lines, word);)
            if (!word.empty()) words.insert(word);
        return words;
    }

    const InstalledTree& tree = InstalledTree::Get();
    testsupport::TempDir work;
};

TEST_F(Completion, OptionsAndTheirValues) {
    const auto options = Complete("wavetrove-cli --");
    for (const char* option : {"--format", "--output", "--threads", "--overwrite", "--set", "--list-formats",
                               "--quiet", "--help", "--version"})
        EXPECT_TRUE(options.count(option)) << option;
    EXPECT_EQ(Complete("wavetrove-cli --ov"), std::set<std::string>{"--overwrite"});
    EXPECT_EQ(Complete("wavetrove-cli --overwrite "),
              (std::set<std::string>{"overwrite", "skip", "ask", "rename"}));

    // Format names as -f takes them, in every spelling of the option; m4a is two writers, named aac and alac.
    for (const char* line : {"wavetrove-cli -f ", "wavetrove-cli --format ", "wavetrove-cli --format="}) {
        const auto formats = Complete(line);
        for (const char* name : {"mp3", "flac", "wav", "ogg", "opus", "aac", "alac"})
            EXPECT_TRUE(formats.count(name)) << line << " " << name;
        EXPECT_FALSE(formats.count("m4a")) << line;
    }
    EXPECT_EQ(Complete("wavetrove-cli -f fl"), std::set<std::string>{"flac"});
    EXPECT_EQ(Complete("wavetrove-cli -o "), std::set<std::string>{"sub"});
}

// Files the program opens (whatever the case of their extension), playlists, CD sheets and folders; not
// other files, also after "--".
TEST_F(Completion, OnlyFilesTheProgramOpens) {
    const std::set<std::string> expected = {"a.flac", "B.WAV", "c.mp3", "list.m3u", "disc.cue", "sub"};
    EXPECT_EQ(Complete("wavetrove-cli -f mp3 "), expected);
    EXPECT_EQ(Complete("wavetrove-cli -- "), expected);
}

}  // namespace
