// wavetrove-cli on the console: the progress line on a terminal and never on a pipe, --quiet, --version
// and --help, the output folder it creates, the reasons of failed files, and FFmpeg's log kept quiet.
#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "cli_fixture.h"

namespace {

using namespace clitest;

// Runs wavetrove-cli with `arguments` and its output on a pseudo-terminal 100 columns wide (standard input
// from /dev/null); answers everything the terminal received.
testsupport::CommandResult RunOnTerminal(const fs::path& configHome,
                                         const std::vector<std::string>& arguments) {
    const std::string program = (testsupport::BinDir() / "wavetrove-cli").string();
    std::vector<std::string> words = {program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    // Everything the child needs is prepared before the fork.
    std::string home = "XDG_CONFIG_HOME=" + configHome.string();
    std::vector<std::string> environment = {home, "TERM=xterm", "PATH=/usr/bin:/bin"};
    for (const char* keep : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
        if (const char* value = std::getenv(keep)) environment.push_back(std::string(keep) + "=" + value);
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);

    testsupport::CommandResult result;
    winsize size{};
    size.ws_row = 24;
    size.ws_col = 100;
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, &size);
    if (child < 0) return result;
    if (child == 0) {
        const int null = open("/dev/null", O_RDONLY);
        dup2(null, STDIN_FILENO);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(terminal, buffer, sizeof buffer);
        if (n > 0) {
            result.out.append(buffer, static_cast<size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;  // EIO once the child and its terminal are gone
        }
    }
    close(terminal);
    int status = 0;
    waitpid(child, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// Whether the terminal output holds a progress line: redrawn from the line's start, with the percentage,
// the files done of the two, and the elapsed and remaining time.
bool HasProgressLine(const std::string& out) {
    for (size_t at = out.find('\r'); at != std::string::npos; at = out.find('\r', at + 1)) {
        const std::string line = out.substr(at + 1, out.find_first_of("\r\033", at + 1) - at - 1);
        if (line.find("% ") != std::string::npos && line.find("/2 files") != std::string::npos &&
            line.find(" elapsed") != std::string::npos && line.find(" left") != std::string::npos)
            return true;
    }
    return false;
}

struct ConsoleCase {
    const char* name;
    bool terminal;
    bool quiet;
};

class CliConsole : public Cli, public ::testing::WithParamInterface<ConsoleCase> {};

// A good file and a six-channel one: the failure and the summary are printed in every mode; the progress
// line only on a terminal and not with --quiet, which also drops the start line.
TEST_P(CliConsole, ProgressLineOnlyOnATerminal) {
    const ConsoleCase& c = GetParam();
    const fs::path good = Wav("good.wav", 2, 44100 * 20);
    const fs::path six = Wav("six.wav", 6);
    std::vector<std::string> arguments = {
        "-f", "wav", "--set", "wavsrate=1", "-o", (dir / "out").string(), good.string(), six.string()};
    if (c.quiet) arguments.insert(arguments.begin(), "--quiet");
    testsupport::CommandResult r;
    if (c.terminal) {
        r = RunOnTerminal(dir / "cfg", arguments);
    } else {
        std::string line;
        for (const std::string& a : arguments) line += Q(a) + " ";
        r = Run(line);
    }
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_EQ(HasProgressLine(r.out), c.terminal && !c.quiet) << r.out;
    if (!c.terminal) {
        EXPECT_FALSE(Has(r.out, "\r") || Has(r.out, "\033[")) << r.out;
    }
    EXPECT_EQ(Has(r.out, "Conversion started at: "), !c.quiet) << r.out;
    EXPECT_TRUE(Has(r.out, "Conversion failed for: " + six.string() +
                               " (6 channels: only mono and stereo are converted)"))
        << r.out;
    EXPECT_TRUE(Has(r.out, "Processed 2 file(s).")) << r.out;
    EXPECT_TRUE(Has(r.out, "Failed to convert 1 file(s).")) << r.out;
    EXPECT_EQ(OutFiles(), std::vector<std::string>{"good.wav"});
}

INSTANTIATE_TEST_SUITE_P(Modes, CliConsole,
                         ::testing::Values(ConsoleCase{"terminal", true, false},
                                           ConsoleCase{"pipe", false, false},
                                           ConsoleCase{"terminal_quiet", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Cli, VersionAndHelp) {
    auto version = Run("--version");
    EXPECT_EQ(version.status, 0);
    const std::string prefix = "wavetrove-cli (Wavetrove) ";
    ASSERT_GT(version.out.size(), prefix.size() + 1) << version.out;
    EXPECT_EQ(version.out.substr(0, prefix.size()), prefix);
    EXPECT_EQ(version.out.find_first_not_of("0123456789.", prefix.size()), version.out.size() - 1)
        << version.out;
    EXPECT_EQ(version.out.back(), '\n');

    auto help = Run("--help");
    EXPECT_EQ(help.status, 0);
    for (const char* option :
         {"-f, --format", "-o, --output", "--same-folder", "--keep-folders", "--overwrite", "-j, --threads",
          "--set", "-q, --quiet", "--list-formats", "-h, --help", "--version"})
        EXPECT_TRUE(Has(help.out, option)) << option << "\n" << help.out;
}

// Every spelling of an option and its value gives the same run: the same output, byte for byte.
TEST_F(Cli, OptionSpellings) {
    const fs::path source = Wav("x.wav");
    const std::string out = Q(dir / "out");
    std::vector<uint8_t> first;
    for (const std::string& options :
         {"-f flac -o " + out + " -j 2", "--format flac --output " + out + " -j2",
          "--format=flac --output=" + out + " --threads=2", "-fflac -o" + out + " --threads 2",
          "-f flac -j 2 -o " + out}) {
        fs::remove_all(dir / "out");
        auto r = Run(options + " -- " + Q(source));
        EXPECT_EQ(r.status, 0) << options << "\n" << r.out;
        ASSERT_EQ(OutFiles(), std::vector<std::string>{"x.flac"}) << options;
        const auto bytes = testsupport::ReadBytes(Out("x.flac"));
        if (first.empty()) first = bytes;
        EXPECT_TRUE(bytes == first) << options;
    }
    // Options may follow the files; "--" ends them, so a file named like an option is a file.
    fs::remove_all(dir / "out");
    Wav("-j2.wav");
    auto r = RunCommand("cd " + Q(dir / "in") + " && " +
                        Command(Q(source) + " -f flac -o " + out + " -- -j2.wav"));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(OutFiles(), (std::vector<std::string>{"-j2.flac", "x.flac"}));
}

// A wrong option is named in one line, then a pointer to --help; exit 1 and nothing converted.
TEST_F(Cli, OptionErrorsNameTheOption) {
    const std::string wav = Q(Wav("x.wav"));
    const std::string hint = "Try 'wavetrove-cli --help' for more information.\n";
    struct Case {
        std::string arguments;
        std::string message;
    };
    const Case cases[] = {
        {"--bogus " + wav, "wavetrove-cli: unrecognized option '--bogus'\n" + hint},
        {"-x " + wav, "wavetrove-cli: invalid option -- 'x'\n" + hint},
        {wav + " -f", "wavetrove-cli: option requires an argument -- 'f'\n" + hint},
        {wav + " --format", "wavetrove-cli: option '--format' requires an argument\n" + hint},
        {wav + " -j", "wavetrove-cli: option requires an argument -- 'j'\n" + hint},
        {"--quiet=yes " + wav, "wavetrove-cli: option '--quiet' doesn't allow an argument\n" + hint},
        {"--threads= " + wav, "wavetrove-cli: --threads takes a number from 1 up\n"},
        {"-j2x " + wav, "wavetrove-cli: --threads takes a number from 1 up\n"},
        {"--format= " + wav, "wavetrove-cli: unknown format '' (see --list-formats)\n"},
        {"-fnosuch " + wav, "wavetrove-cli: unknown format 'nosuch' (see --list-formats)\n"},
        {"--output= " + wav, "wavetrove-cli: --output takes a folder name\n"},
    };
    for (const Case& c : cases) {
        const auto r = Run("-o " + Q(dir / "out") + " " + c.arguments);
        EXPECT_EQ(r.status, 1) << c.arguments;
        EXPECT_EQ(r.out, c.message) << c.arguments;
    }
    EXPECT_TRUE(OutFiles().empty());
}

TEST_F(Cli, OutputFolderIsCreatedWithItsParents) {
    const fs::path source = Wav("x.wav");
    const fs::path folder = dir / "out" / "new" / "deeper";
    auto r = Run("-f wav -o " + Q(folder) + " " + Q(source));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(fs::exists(folder / "x.wav"));

    // Below a regular file no folder can be made: one clear line, exit 1, nothing converted.
    const fs::path impossible = dir / "in" / "x.wav" / "sub";
    r = Run("-f wav -o " + Q(impossible) + " " + Q(source));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_EQ(r.out, "wavetrove-cli: cannot create the output folder " + impossible.string() +
                         ": Not a directory\n");
}

TEST_F(Cli, FailedFilesSayWhy) {
    const fs::path damaged = dir / "in" / "damaged.wav";
    testsupport::WriteBytes(damaged,
                            {'R', 'I', 'F', 'F', 1, 2, 3, 4, 'W', 'A', 'V', 'E', 'j', 'u', 'n', 'k'});
    const fs::path good = Wav("good.wav");
    auto r = Run("-f wav -o " + Q(dir / "out") + " " + Q(damaged) + " " + Q(good));
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_TRUE(Has(r.out, "Conversion failed for: " + damaged.string() + " (not a readable audio file)\n"))
        << r.out;

    // The writer's own message and the system's word when the output cannot be created: the output name is
    // a link into a folder that does not exist.
    fs::remove(dir / "out" / "good.wav");
    fs::create_symlink(dir / "nowhere" / "good.wav", dir / "out" / "good.wav");
    r = Run("-f wav -o " + Q(dir / "out") + " " + Q(good));
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_TRUE(Has(r.out, "Conversion failed for: " + good.string() +
                               " (Can not create SNDLIB compressor: No such file or directory)\n"))
        << r.out;
}

struct LogCase {
    const char* name;
    const char* environment;
    bool ffmpegLines;
};

class CliFfmpegLog : public Cli, public ::testing::WithParamInterface<LogCase> {};

// A damaged MP3 makes FFmpeg's decoder complain; its lines appear only when asked for.
TEST_P(CliFfmpegLog, OnlyWhenAskedFor) {
    const fs::path mp3 = dir / "in" / "damaged.mp3";
    auto made = RunCommand("ffmpeg -nostdin -v error -f lavfi -i sine=d=3 -c:a libmp3lame -b:a 64k -f mp3 " +
                           Q(mp3) + " 2>&1");
    ASSERT_EQ(made.status, 0) << made.out;
    auto bytes = testsupport::ReadBytes(mp3);
    ASSERT_GT(bytes.size(), 20000u);
    // Garbage before the first frame and across the middle ones.
    for (size_t i = 0; i < 300; ++i) bytes.insert(bytes.begin(), static_cast<uint8_t>(i * 37));
    for (size_t i = 8000; i < 12000; ++i) bytes[i] = static_cast<uint8_t>(i * 91 + 7);
    testsupport::WriteBytes(mp3, bytes);

    auto r = RunCommand(std::string(GetParam().environment) + " " +
                        Command("-f wav -o " + Q(dir / "out") + " " + Q(mp3)));
    EXPECT_EQ(Has(r.out, " @ 0x"), GetParam().ffmpegLines) << r.out;
}

INSTANTIATE_TEST_SUITE_P(Levels, CliFfmpegLog,
                         ::testing::Values(LogCase{"unset", "env -u WAVETROVE_FFMPEG_LOG", false},
                                           LogCase{"quiet", "WAVETROVE_FFMPEG_LOG=quiet", false},
                                           LogCase{"warning", "WAVETROVE_FFMPEG_LOG=warning", true},
                                           LogCase{"debug", "WAVETROVE_FFMPEG_LOG=DEBUG", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
