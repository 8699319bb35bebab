// The update check against a stand-in service on 127.0.0.1: the request it sends, each outcome with its
// message, every way the request can fail, abandoning a check at close, checks in quick succession, the
// main window's start-up check and menu command, and `wavetrove --check-updates`.
#include <QAction>
#include <QElapsedTimer>
#include <QProcess>
#include <QWidget>
#include <fstream>

#include "gui/mainform.h"
#include "gui/messages.h"
#include "gui/versioncheck.h"
#include "gui_helpers.h"
#include "update_server.h"

namespace fs = std::filesystem;

namespace {

const QString kFailure = QStringLiteral("Could not download file version information from: \n");

}  // namespace

TEST(VersionCompare, ComparesTheFourNumbersInOrder) {
    struct Case {
        const char* remote;
        const char* local;
        bool newer;
    };
    const Case cases[] = {
        {"2.1.0.0", "2.0.0.0", true},
        {"2.0.0.0", "2.0.0.0", false},
        {"1.9.9.9", "2.0.0.0", false},
        {"2.0.0.10", "2.0.0.9", true},
        {"2.0.100.0", "2.1.0.0", false},
        {"2.0.0.150", "2.0.1.0", false},
        {"2.0.1.0", "2.0.0.150", true},
        {"10.0.0.0", "9.99.99.99", true},
        {"999999999.0.0.0", "1.0.0.0", true},
        {" 2.1.0.0 ", "2.0.0.0", true},
        {"2", "1.0.0.0", false},
        {"2.0.0.0", "1", false},
        {"3.0.0", "2.0.0.0", false},
        {"3.0.0.0.0", "2.0.0.0", false},
        {"3.x.0.0", "2.0.0.0", false},
        {"", "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsNewerVersion(QString::fromLatin1(c.remote), QString::fromLatin1(c.local)), c.newer)
            << c.remote << " vs " << c.local;
}

TEST(VersionCompare, AnswerMustBeFourNumbersAfterTrimming) {
    const std::pair<QByteArray, const char*> cases[] = {
        {"2.1.0.0", "2.1.0.0"},
        {"\r\n 2.1.0.0 \t\n", "2.1.0.0"},
        {"123456789.0.0.1", "123456789.0.0.1"},
        {"", nullptr},
        {" \r\n", nullptr},
        {"2.1.0", nullptr},
        {"2.1.0.0.0", nullptr},
        {"2..0.0", nullptr},
        {"2.a.0.0", nullptr},
        {"+2.1.0.0", nullptr},
        {"1234567890.0.0.0", nullptr},
        {"2.1.0.0 beta", nullptr},
        {QByteArray("2.1\0.0.0", 8), nullptr},
        {"<html><body>Not here</body></html>", nullptr},
    };
    for (const auto& [body, expected] : cases) {
        const auto parsed = ParseVersionAnswer(body);
        if (expected) {
            ASSERT_TRUE(parsed.has_value()) << body.toStdString();
            EXPECT_EQ(*parsed, QString::fromLatin1(expected));
        } else {
            EXPECT_FALSE(parsed.has_value()) << body.toStdString();
        }
    }
}

TEST(VersionCompare, RequestAndAddresses) {
    const QUrl request =
        UpdateRequestUrl(QStringLiteral("https://updates.example.org:8443/pad/wave trove.xml"));
    EXPECT_EQ(
        request.toString(QUrl::FullyEncoded),
        QStringLiteral(
            "https://updates.example.org:8443/pad/getpad.php?pad=%2Fpad%2Fwave%20trove.xml&field=version"));
    EXPECT_EQ(UpdateRequestUrl(QStringLiteral("http://h.example.org/a&b=c.xml")).query(QUrl::FullyEncoded),
              QStringLiteral("pad=%2Fa%26b%3Dc.xml&field=version"));

    testsupport::TempDir dir;
    struct Case {
        const char* ini;
        const char* url;
        const char* download;
        const char* site;
    };
    const Case cases[] = {
        {"", "", "", ""},
        {"url=https://up.example.org:444/pad/w.xml\n", "https://up.example.org:444/pad/w.xml",
         "https://up.example.org:444/", "up.example.org"},
        {"url=http://up.example.org/w.xml\ndownload=https://dl.example.net/get\nsite=Example Downloads\n",
         "http://up.example.org/w.xml", "https://dl.example.net/get", "Example Downloads"},
        {"url=http://up.example.org/w.xml\ndownload=file:///bin/sh\n", "http://up.example.org/w.xml",
         "http://up.example.org/", "up.example.org"},
        {"url=ftp://up.example.org/w.xml\ndownload=https://dl.example.net/\n", "", "https://dl.example.net/",
         "dl.example.net"},
        {"url=/pad/w.xml\n", "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini);
        const fs::path ini = dir / "wavetrove.ini";
        std::ofstream(ini) << "[Settings]\nrecurse=1\n[Update]\n" << c.ini;
        const UpdateAddresses a = ReadUpdateAddresses(QString::fromStdString(ini.string()));
        EXPECT_EQ(a.url, QString::fromLatin1(c.url));
        EXPECT_EQ(a.download, QString::fromLatin1(c.download));
        EXPECT_EQ(a.site, QString::fromLatin1(c.site));
    }
}

class UpdateCheckTest : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        ASSERT_TRUE(server_.Listening());
        SetQuestionHook([this](QWidget*, const QString& caption, const QString& text) {
            questions_.push_back({QMessageBox::Question, caption, text, true});
            return answerYes_;
        });
        SetOpenUrlHook([this](const QUrl& url) {
            opened_.push_back(url);
            return true;
        });
        TVersionCheck::SetDeadline(15000);
    }
    void TearDown() override {
        checker_.reset();
        GuiTest::TearDown();
        SetQuestionHook({});
        SetOpenUrlHook({});
        TVersionCheck::SetDeadline(15000);
    }

    TVersionCheck& Checker(bool reportUpToDate = true) {
        checker_ = std::make_unique<TVersionCheck>(&owner_);
        checker_->ownVersion = QStringLiteral("2.0.0.0");
        checker_->addresses = {server_.Url(), QStringLiteral("https://downloads.example.org/wavetrove"),
                               QStringLiteral("Example Downloads")};
        checker_->reportErrors = true;
        checker_->reportUpToDate = reportUpToDate;
        QObject::connect(checker_.get(), &TVersionCheck::Reported, [this] { ++reports_; });
        return *checker_;
    }
    // Runs one check to its report.
    void RunCheck(TVersionCheck& checker) {
        const int before = reports_;
        checker.Check();
        ASSERT_TRUE(WaitFor([&] { return reports_ > before; }, 20000));
    }
    void SeedUpdateUrl(const QString& url) {
        SeedSettings({{"checkupdates", "1"}});
        std::ofstream(SettingsFolder() / "wavetrove.ini", std::ios::app)
            << "[Update]\nurl=" << url.toStdString() << "\n";
    }

    UpdateServer server_;
    QWidget owner_;
    std::unique_ptr<TVersionCheck> checker_;
    std::vector<RecordedMessage> questions_;
    std::vector<QUrl> opened_;
    bool answerYes_ = true;
    int reports_ = 0;
};

TEST_F(UpdateCheckTest, NewerVersionAsksAndYesOpensTheDownloadAddress) {
    server_.Answer(200, "2.1.0.0\r\n");
    TVersionCheck& checker = Checker();
    RunCheck(checker);
    ASSERT_EQ(server_.Requests().size(), 1u);
    const QByteArray head = server_.Requests()[0];
    EXPECT_TRUE(head.startsWith("GET /pad/getpad.php?pad=%2Fpad%2Fwavetrove.xml&field=version HTTP/1.1\r\n"))
        << head.toStdString();
    EXPECT_TRUE(head.contains("\r\nUser-Agent: CheckUpdates/1.0\r\n")) << head.toStdString();
    ASSERT_EQ(questions_.size(), 1u);
    EXPECT_EQ(questions_[0].text,
              QStringLiteral("There is a new version 2.1.0.0 of this program\navailable at "
                             "Example Downloads\nDo you want to download it now?"));
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0], QUrl(QStringLiteral("https://downloads.example.org/wavetrove")));
    EXPECT_TRUE(Messages().empty());

    answerYes_ = false;
    RunCheck(checker);
    EXPECT_EQ(questions_.size(), 2u);
    EXPECT_EQ(opened_.size(), 1u);

    // Yes never hands the desktop anything but a web address.
    answerYes_ = true;
    checker.addresses.download = QStringLiteral("file:///usr/bin/xterm");
    RunCheck(checker);
    EXPECT_EQ(questions_.size(), 3u);
    EXPECT_EQ(opened_.size(), 1u);
}

TEST_F(UpdateCheckTest, SameOrOlderVersionSaysSoOnlyWhenAsked) {
    const std::pair<const char*, const char*> cases[] = {
        {"2.0.0.0", "2.0.0.0"}, {"1.9.0.0", "2.0.0.0"}, {"2.0.100.0", "2.1.0.0"}};
    for (const auto& [answer, own] : cases) {
        SCOPED_TRACE(answer);
        server_.Answer(200, answer);
        messages_.clear();
        TVersionCheck& checker = Checker(true);
        checker.ownVersion = QString::fromLatin1(own);
        RunCheck(checker);
        ASSERT_EQ(Messages().size(), 1u);
        EXPECT_EQ(Messages()[0].icon, QMessageBox::Question);
        EXPECT_EQ(Messages()[0].text, QStringLiteral("You already have the latest version ") +
                                          checker.ownVersion + " of this program");
        checker.reportUpToDate = false;  // the start-up check
        messages_.clear();
        RunCheck(checker);
        EXPECT_TRUE(Messages().empty());
        EXPECT_TRUE(questions_.empty());
    }
}

TEST_F(UpdateCheckTest, EveryFailureIsReportedWithTheAddress) {
    TVersionCheck::SetDeadline(600);
    QString refused;
    {
        UpdateServer closed;  // its port is closed again when it goes
        refused = closed.Url();
    }
    struct Case {
        const char* what;
        std::function<void()> prepare;
        QString url;
    };
    const Case cases[] = {
        {"404", [&] { server_.Answer(404, "2.1.0.0"); }, server_.Url()},
        {"empty", [&] { server_.Answer(200, ""); }, server_.Url()},
        {"blank", [&] { server_.Answer(200, " \r\n"); }, server_.Url()},
        {"malformed", [&] { server_.Answer(200, "<html>2.1.0.0</html>"); }, server_.Url()},
        {"three numbers", [&] { server_.Answer(200, "2.1.0"); }, server_.Url()},
        {"oversized", [&] { server_.Answer(200, "2.1.0.0" + QByteArray(2000, ' ')); }, server_.Url()},
        {"refused", [] {}, refused},
        {"silent past the deadline", [&] { server_.Silent(); }, server_.Url()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare();
        messages_.clear();
        TVersionCheck& checker = Checker();
        checker.addresses.url = c.url;
        QElapsedTimer clock;
        clock.start();
        RunCheck(checker);
        ASSERT_EQ(Messages().size(), 1u);
        EXPECT_EQ(Messages()[0].icon, QMessageBox::Critical);
        EXPECT_EQ(Messages()[0].text, kFailure + c.url);
        EXPECT_TRUE(questions_.empty());
        // Start-up checks without error reports stay silent.
        checker.reportErrors = false;
        messages_.clear();
        RunCheck(checker);
        EXPECT_TRUE(Messages().empty());
    }
}

TEST_F(UpdateCheckTest, ClosingDuringACheckAbandonsItAtOnce) {
    server_.Silent();
    SeedUpdateUrl(server_.Url());
    Tmainform& form = MakeWindow();
    form.Action(QStringLiteral("checkUpdates"))->trigger();
    ASSERT_TRUE(WaitFor([&] { return !server_.Requests().empty(); }, 20000));
    ASSERT_TRUE(form.VersionCheck()->Running());
    QElapsedTimer clock;
    clock.start();
    CloseWindow();
    // The deadline is 15 s; leaving takes a poll interval. Measured a few ms; the margin is for a loaded
    // machine.
    EXPECT_LT(clock.elapsed(), 5000);
    WaitFor([] { return false; }, 100);
    EXPECT_TRUE(Messages().empty());
    EXPECT_TRUE(questions_.empty());
}

TEST_F(UpdateCheckTest, ASecondCheckStartsAfterTheFirstHasReported) {
    server_.Answer(200, "2.0.0.0");
    std::vector<size_t> messagesAtRequest;
    server_.OnRequest = [&] { messagesAtRequest.push_back(Messages().size()); };
    TVersionCheck& checker = Checker();
    checker.Check();
    checker.Check();  // returns at once; runs after the first
    checker.Check();  // folds into the waiting one
    ASSERT_TRUE(WaitFor([&] { return reports_ == 2; }, 20000));
    WaitFor([] { return false; }, 200);
    EXPECT_EQ(reports_, 2);
    EXPECT_FALSE(checker.Running());
    EXPECT_EQ(messagesAtRequest, (std::vector<size_t>{0, 1}));
    EXPECT_EQ(Messages().size(), 2u);
}

TEST_F(UpdateCheckTest, MainWindowChecksAtStartAndFromTheMenu) {
    server_.Answer(200, FileVersion().toLatin1());
    SeedUpdateUrl(server_.Url());
    Tmainform& form = MakeWindow();
    // The plain start asks, and says nothing when there is nothing new.
    ASSERT_TRUE(
        WaitFor([&] { return !server_.Requests().empty() && !form.VersionCheck()->Running(); }, 20000));
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Wavetrove ") + FileVersion());

    QAction* menu = form.Action(QStringLiteral("checkUpdates"));
    ASSERT_TRUE(menu->isVisible());
    EXPECT_EQ(menu->text(), QStringLiteral("Check for Updates..."));
    menu->trigger();
    ASSERT_TRUE(WaitFor([&] { return Messages().size() == 1; }, 20000));
    EXPECT_EQ(Messages()[0].text,
              QStringLiteral("You already have the latest version ") + FileVersion() + " of this program");
    CloseWindow();

    // Any argument skips the start-up check.
    MakeWav(files_ / "one.wav");
    SeedUpdateUrl(server_.Url());
    const size_t requests = server_.Requests().size();
    MakeWindow({QString::fromStdString((files_ / "one.wav").string())});
    WaitFor([] { return false; }, 500);
    EXPECT_EQ(server_.Requests().size(), requests);
    CloseWindow();

    // Without an address the start-up check does nothing and the menu command reports the failure.
    SeedSettings({{"checkupdates", "1"}});
    messages_.clear();
    Tmainform& bare = MakeWindow();
    WaitFor([] { return false; }, 200);
    EXPECT_TRUE(Messages().empty());
    bare.Action(QStringLiteral("checkUpdates"))->trigger();
    ASSERT_TRUE(WaitFor([&] { return Messages().size() == 1; }, 20000));
    EXPECT_EQ(Messages()[0].text, kFailure);
}

// `wavetrove --check-updates`: the same check on the console, with no display and no window.
TEST_F(UpdateCheckTest, ConsoleCheckPrintsEachOutcome) {
    testsupport::TempDir home;
    const fs::path ini = home / "Quillsound" / "wavetrove.ini";
    auto run = [&](int& exitCode, QString& out, QString& err) {
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(home.path().string()));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        program.setProcessEnvironment(env);
        program.start(QString::fromStdString((testsupport::BinDir() / "wavetrove").string()),
                      {QStringLiteral("--check-updates")});
        ASSERT_TRUE(program.waitForStarted());
        // The service runs on this thread: keep it turning while the program waits for it.
        ASSERT_TRUE(WaitFor([&] { return program.state() == QProcess::NotRunning; }, 60000));
        exitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
        out = QString::fromLocal8Bit(program.readAllStandardOutput());
        err = QString::fromLocal8Bit(program.readAllStandardError());
    };
    fs::create_directories(ini.parent_path());
    const std::string settings =
        "[Settings]\nrecurse=1\n[Update]\nurl=" + server_.Url().toStdString() +
        "\ndownload=https://downloads.example.org/wavetrove\nsite=Example Downloads\n";
    std::ofstream(ini) << settings;

    int code = -1;
    QString out, err;
    server_.Answer(200, "999.0.0.0");
    run(code, out, err);
    EXPECT_EQ(code, 0) << err.toStdString();
    EXPECT_EQ(out, QStringLiteral("There is a new version 999.0.0.0 of this program\navailable at Example "
                                  "Downloads\nhttps://downloads.example.org/wavetrove\n"));

    server_.Answer(200, FileVersion().toLatin1());
    run(code, out, err);
    EXPECT_EQ(code, 0) << err.toStdString();
    EXPECT_EQ(out,
              QStringLiteral("You already have the latest version ") + FileVersion() + " of this program\n");

    server_.Answer(404, "");
    run(code, out, err);
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(out.isEmpty());
    EXPECT_TRUE(err.contains(kFailure + server_.Url())) << err.toStdString();
    EXPECT_EQ(server_.Requests().size(), 3u);

    // The settings file is read, never written.
    std::ifstream back(ini);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(back), {}), settings);
}
