// The unattended mode, run as the real program: "/AUTOMATE" with a folder converts with the stored
// settings and exits 0; with nothing usable it exits 1 at once. Also the screenshots, taken only when a
// folder for them is given (the gui_screenshots test under Xvfb).
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <fstream>

#include "wvt/config.h"
#include "gui/fileslist.h"
#include "gui/formatbox.h"
#include "gui_helpers.h"
#include "gui/mainform.h"
#include "gui/overwritedialog.h"
#include "gui/progressform.h"
#include "gui/wavencoderform.h"
#include <QAbstractItemView>

namespace fs = std::filesystem;

namespace {
std::string Program() {
    return (testsupport::BinDir() / "wavetrove").string();
}

void WriteIni(const fs::path& configHome, const std::string& body) {
    fs::create_directories(configHome / "Quillsound");
    std::ofstream(configHome / "Quillsound" / "wavetrove.ini") << "[Settings]\n" << body;
}

int RunAutomated(const fs::path& configHome, const std::string& arguments) {
    return testsupport::RunCommand("env QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=" +
                                   testsupport::ShellQuote(configHome.string()) + " " +
                                   testsupport::ShellQuote(Program()) + " " + arguments + " 2>/dev/null")
        .status;
}
}  // namespace

TEST(AutomateTest, ConvertsAFolderWithTheStoredSettingsAndExitsZero) {
    testsupport::TempDir home, in, out;
    MakeWav(in / "one.wav", 0.5, 440.0);
    fs::create_directories(in / "sub");
    MakeWav(in / "sub" / "two.wav", 0.4, 660.0);
    // Codec 2 is WAV in the list without the Windows Media writer.
    WriteIni(home.path(), "codec=2\noutput=" + out.path().string() + "\nrecurse=true\n");
    EXPECT_EQ(RunAutomated(home.path(), "/AUTOMATE " + testsupport::ShellQuote(in.path().string())), 0);
    for (const char* name : {"one", "two"}) {
        const fs::path source = name == std::string("one") ? in / "one.wav" : in / "sub" / "two.wav";
        ASSERT_TRUE(fs::exists(out / (std::string(name) + ".wav"))) << name;
        EXPECT_EQ(testsupport::Md5Hex(testsupport::FfmpegDecode(out / (std::string(name) + ".wav"), "s16le")),
                  testsupport::Md5Hex(testsupport::FfmpegDecode(source, "s16le")));
    }
}

TEST(AutomateTest, NothingUsableExitsOneInAnyLetterCase) {
    testsupport::TempDir home, in, out;
    std::ofstream(in / "readme.txt") << "no audio";
    WriteIni(home.path(), "codec=2\noutput=" + out.path().string() + "\n");
    EXPECT_EQ(RunAutomated(home.path(), "/automate " + testsupport::ShellQuote(in.path().string())), 1);
    EXPECT_EQ(RunAutomated(home.path(), "/AuToMaTe"), 1);
    EXPECT_TRUE(fs::is_empty(out.path()));
}

TEST(AutomateTest, ARefusedConvertEndsTheProgramInsteadOfWaiting) {
    testsupport::TempDir home, in;
    MakeWav(in / "one.wav");
    WriteIni(home.path(), "codec=2\noutput=" + (in.path() / "missing").string() + "\n");
    EXPECT_EQ(RunAutomated(home.path(), "/AUTOMATE " + testsupport::ShellQuote((in / "one.wav").string())),
              1);
}

// Without a display the program says so in one line and exits 1 instead of aborting; --help and --version
// need no display at all. The run happens without any of the display variables the test may have.
struct StartCase {
    const char* name;
    const char* environment;  // added to a bare environment
    const char* arguments;
    int status;
    const char* says;  // the output contains this
};

class StartWithoutDisplay : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartWithoutDisplay, AnswersInOneLine) {
    const StartCase& c = GetParam();
    testsupport::TempDir home;
    const auto r =
        testsupport::RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_CONFIG_HOME=" +
                                testsupport::ShellQuote(home.path().string()) + " " + c.environment + " " +
                                testsupport::ShellQuote(Program()) + " " + c.arguments + " 2>&1");
    EXPECT_EQ(r.status, c.status) << r.out;
    EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
    if (c.status == 1) {
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
        EXPECT_NE(r.out.find("wavetrove-cli"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("QT_QPA_PLATFORM=offscreen wavetrove /AUTOMATE"), std::string::npos) << r.out;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartWithoutDisplay,
    ::testing::Values(StartCase{"no_display", "", "", 1, "neither DISPLAY nor WAYLAND_DISPLAY is set"},
                      StartCase{"unreachable_display", "DISPLAY=:9731", "", 1, "cannot open display :9731"},
                      StartCase{"version", "", "--version", 0, "Wavetrove "},
                      StartCase{"help", "", "--help", 0, "/AUTOMATE"}),
    [](const auto& info) { return std::string(info.param.name); });

using Screenshots = GuiTest;

TEST_F(Screenshots, MainProgressAndOverwriteWindows) {
    const char* folder = std::getenv("WAVETROVE_SCREENSHOT_DIR");
    if (!folder) GTEST_SKIP() << "set WAVETROVE_SCREENSHOT_DIR to take screenshots";
    QDir().mkpath(QString::fromLocal8Bit(folder));
    const QString dir = QString::fromLocal8Bit(folder) + QLatin1Char('/');

    fs::create_directories(files_ / "out");
    for (const char* n : {"Morning Walk", "Evening Rain", "Night Train"})
        MakeWav(files_ / (std::string(n) + ".wav"), 1.5);
    MakeWav(files_ / "out" / "Night Train.wav", 0.1);
    SeedSettings(
        {{"output", (files_ / "out").string()}, {"codec", "2"}, {"threadscount", "1"}, {"overwrite", "2"}});
    Tmainform& form = MakeWindow();
    for (const char* n : {"Morning Walk", "Evening Rain", "Night Train"})
        form.addfile((files_ / (std::string(n) + ".wav")).string());
    WaitFor([] { return false; }, 300);
    ASSERT_TRUE(form.grab().save(dir + QStringLiteral("mainwindow.png")));
    form.FormatBox()->showPopup();
    WaitFor([] { return false; }, 300);
    EXPECT_TRUE(form.FormatBox()->view()->window()->grab().save(dir + QStringLiteral("formatbox.png")));
    form.FormatBox()->hidePopup();
    QTimer::singleShot(300, [&] {
        EXPECT_TRUE(form.WAVEncoderForm()->grab().save(dir + QStringLiteral("wavoptions.png")));
        form.WAVEncoderForm()->cancelButton()->click();
    });
    form.Button3Click();

    QTimer answer;
    answer.setInterval(50);
    bool grabbed = false;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        TOverwriteDialog* dialog = form.OverwriteDialog();
        if (!dialog->isVisible()) return;
        if (!grabbed) {
            grabbed = dialog->grab().save(dir + QStringLiteral("overwrite.png"));
            return;  // next tick answers, after the dialog has been painted
        }
        dialog->NoButton()->click();
    });
    answer.start();
    form.Convert();
    ASSERT_TRUE(WaitFor([&] { return !form.Busy(); }));
    WaitFor([] { return false; }, 300);
    EXPECT_TRUE(grabbed);
    ASSERT_TRUE(form.ProgressForm()->grab().save(dir + QStringLiteral("progress.png")));
    ASSERT_TRUE(form.grab().save(dir + QStringLiteral("mainwindow-done.png")));
}
