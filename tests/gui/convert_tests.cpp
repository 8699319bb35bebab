// Convert from the main window: its four refusals, a WAV conversion with the progress window's log and
// summary, Cancel, the overwrite question's answers, and a window that stays responsive meanwhile.
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QCheckBox>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "wvt/config.h"
#include "gui/fileslist.h"
#include "gui/formatbox.h"
#include "gui_helpers.h"
#include "gui/mainform.h"
#include "gui/messages.h"
#include "gui/overwritedialog.h"
#include "gui/progressform.h"
#include "wvt/transcoder.h"

namespace fs = std::filesystem;

class ConvertTest : public GuiTest {
  protected:
    // A window converting to WAV into out/ with `threads` workers, listing the given generated files.
    Tmainform& WavWindow(const std::vector<std::string>& names, int threads = 1,
                         std::vector<std::pair<std::string, std::string>> extra = {}) {
        fs::create_directories(files_ / "out");
        for (const std::string& n : names) MakeWav(files_ / (n + ".wav"), 0.3);
        extra.push_back({"output", (files_ / "out").string()});
        extra.push_back({"threadscount", std::to_string(threads)});
        SeedSettings(extra);
        Tmainform& form = MakeWindow();
        form.FormatBox()->setCurrentIndex(CodecIndex(form, QStringLiteral("WAV")));
        for (const std::string& n : names) form.addfile((files_ / (n + ".wav")).string());
        return form;
    }
    QStringList Log() const {
        return form_->ProgressForm()->LogMemo()->toPlainText().split(QLatin1Char('\n'));
    }
    bool Finished() const { return !form_->Busy(); }
};

struct RefusalCase {
    const char* name;
    QMessageBox::Icon icon;
    const char* caption;
    const char* text;
    bool owned;
};

class RefusalTest : public ConvertTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, ShowsItsMessageAndStartsNothing) {
    const RefusalCase& c = GetParam();
    Tmainform& form = WavWindow({"a", "b"});
    const std::string name = c.name;
    if (name == "folder") form.PathBox()->setText(QString::fromStdString((files_ / "missing").string()));
    if (name == "empty") form.Clear();
    if (name == "unchecked")
        for (int r = 0; r < form.Model()->rowCount(); ++r) form.Model()->SetChecked(r, false);
    if (name == "busy") {
        form.Convert();
        ASSERT_TRUE(form.Busy());
    }
    const size_t before = Messages().size();
    form.Action(QStringLiteral("menu_convert"))->trigger();
    ASSERT_EQ(Messages().size(), before + 1);
    const RecordedMessage m = Messages().back();
    EXPECT_EQ(m.icon, c.icon);
    EXPECT_EQ(m.caption, QString::fromLatin1(c.caption));
    EXPECT_EQ(m.text, QString::fromLatin1(c.text));
    EXPECT_EQ(m.owned, c.owned);
    if (name != "busy") {
        EXPECT_FALSE(form.Busy());
        EXPECT_FALSE(form.ProgressForm()->isVisible());
        EXPECT_TRUE(fs::is_empty(files_ / "out"));
    }
    ASSERT_TRUE(WaitFor([&] { return Finished(); }));
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, RefusalTest,
    ::testing::Values(RefusalCase{"busy", QMessageBox::Warning, "Operation in progress",
                                  "Conversion already started", true},
                      RefusalCase{"folder", QMessageBox::Critical, "Error!",
                                  "Output folder does not exists! Please select another folder.", false},
                      RefusalCase{"empty", QMessageBox::Warning, "Warning!",
                                  "Conversion list is empty. Please add files before start conversion.",
                                  true},
                      RefusalCase{"unchecked", QMessageBox::Warning, "Warning!",
                                  "Please select at least one file from conversion list.", true}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST_F(ConvertTest, ConvertsToWavAndSummarises) {
    Tmainform& form = WavWindow({"a", "b", "c"}, 2);
    form.Model()->SetChecked(1, false);      // b stays out
    MakeWav(files_ / "out" / "c.wav", 0.1);  // exists: skipped
    Config.overwrite = 1;
    form.Convert();
    EXPECT_TRUE(form.ProgressForm()->isVisible());
    EXPECT_TRUE(form.ProgressForm()->isModal());
    EXPECT_EQ(form.ProgressForm()->windowTitle(), QStringLiteral("Progress..."));
    ASSERT_TRUE(WaitFor([&] { return Finished(); }));

    EXPECT_EQ(Statuses(), (std::vector<QString>{QStringLiteral("Done!"), QStringLiteral("Ready"),
                                                QStringLiteral("Skipped")}));
    for (const TListRow& r : form.Model()->Rows()) EXPECT_FALSE(r.checked);
    const QStringList log = Log();
    ASSERT_EQ(log.size(), 6) << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(log[0].startsWith(QStringLiteral("Conversion started at: ")));
    EXPECT_EQ(log[1], QStringLiteral("Conversion skipped for: ") +
                          QString::fromStdString((files_ / "c.wav").string()));
    EXPECT_TRUE(log[2].startsWith(QStringLiteral("Conversion finished at: ")));
    EXPECT_EQ(log[3], QStringLiteral("Processed 2 file(s)."));
    EXPECT_EQ(log[4], QStringLiteral("Skipped existing 1 file(s)."));
    EXPECT_EQ(log[5], QStringLiteral("Failed to convert 0 file(s)."));
    EXPECT_EQ(form.ProgressForm()->CancelButton()->text(), QStringLiteral("Ok"));
    EXPECT_EQ(form.ProgressForm()->OverallLabel()->text(), QStringLiteral("Overall Progress (100%)"));
    EXPECT_EQ(form.ProgressForm()->OverallProgress()->value(), 100);

    // The output holds the source's samples, as FFmpeg reads both.
    EXPECT_EQ(testsupport::Md5Hex(testsupport::FfmpegDecode(files_ / "out" / "a.wav", "s16le")),
              testsupport::Md5Hex(testsupport::FfmpegDecode(files_ / "a.wav", "s16le")));
    EXPECT_FALSE(fs::exists(files_ / "out" / "b.wav"));

    form.ProgressForm()->CancelButton()->click();  // "Ok"
    EXPECT_FALSE(form.ProgressForm()->isVisible());
    EXPECT_EQ(Statuses()[0], QStringLiteral("Done!"));
}

TEST_F(ConvertTest, CancelClosesAtOnceAndTheWindowWaitsForTheWorkers) {
    std::vector<std::string> names;
    for (int i = 0; i < 8; ++i) names.push_back("n" + std::to_string(i));
    Tmainform& form = WavWindow(names, 1, {{"wavsrate", "1"}});  // resampling to 96 kHz takes a while
    form.Convert();
    ASSERT_TRUE(WaitFor([&] { return Statuses()[0] != QStringLiteral("Ready"); }));
    QTest::mouseClick(form.ProgressForm()->CancelButton(), Qt::LeftButton);
    EXPECT_FALSE(form.ProgressForm()->isVisible());
    if (form.Busy()) {
        // Closing is refused while the workers drain.
        form.close();
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(Messages().back().text, QStringLiteral("Operation in progress. Please wait..."));
        EXPECT_EQ(Messages().back().caption, QStringLiteral("Operation in progress"));
    }
    ASSERT_TRUE(WaitFor([&] { return Finished(); }));
    const std::vector<QString> statuses = Statuses();
    EXPECT_EQ(statuses.back(), QStringLiteral("Ready"));
    EXPECT_GT(form.Engine().QueueLeft(), 0u);
    // The summary is still written into the hidden window's log.
    EXPECT_EQ(Log().back(), QStringLiteral("Failed to convert 0 file(s)."));

    // The next Convert starts from the rows checked again.
    for (int r = 0; r < form.Model()->rowCount(); ++r) form.Model()->SetChecked(r, r == 7);
    Config.overwrite = 1;
    form.Convert();
    ASSERT_TRUE(WaitFor([&] { return Finished(); }));
    EXPECT_EQ(Statuses()[7], QStringLiteral("Done!"));
    EXPECT_EQ(form.Engine().QueueLeft(), 0u);
}

// Milliseconds the calling thread has spent runnable but waiting for a processor (the second field of
// /proc/thread-self/schedstat); 0 where the kernel does not account it.
static qint64 MainThreadQueuedMs() {
    std::ifstream stat("/proc/thread-self/schedstat");
    unsigned long long running = 0, queued = 0;
    if (!(stat >> running >> queued)) return 0;
    return static_cast<qint64>(queued / 1000000);
}

TEST_F(ConvertTest, TheWindowStaysResponsiveWhileTwoWorkersConvert) {
    Tmainform& form = WavWindow({"x", "y"}, 2, {{"wavsrate", "1"}});
    for (const char* n : {"x", "y"})
        MakeWav(files_ / (std::string(n) + ".wav"),
                90.0);  // long enough to span many ticks even on a fast machine
    // A gap between ticks counts what the main thread spent running or blocked. Time it spent ready but
    // waiting for a processor (other processes of a loaded machine, the workers themselves) is the
    // scheduler's, not the window's: it is taken out, as the kernel accounts it for this thread.
    QElapsedTimer clock;
    qint64 last = 0, lastQueued = MainThreadQueuedMs(), worstGap = 0, worstRawGap = 0;
    int ticks = 0;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed(), queued = MainThreadQueuedMs();
        if (form.Busy()) {
            worstGap = std::max(worstGap, now - last - (queued - lastQueued));
            worstRawGap = std::max(worstRawGap, now - last);
            ++ticks;
        }
        last = now;
        lastQueued = queued;
    });
    clock.start();
    timer.start();
    form.Convert();
    ASSERT_TRUE(WaitFor([&] { return Finished(); }, 120000));
    EXPECT_GT(ticks, 5) << "the conversion should have taken several ticks";
    EXPECT_LT(worstGap, 200) << "worst gap on the wall clock: " << worstRawGap << " ms";
    EXPECT_EQ(Statuses(), (std::vector<QString>{QStringLiteral("Done!"), QStringLiteral("Done!")}));
}

struct OverwriteCase {
    int button;
    bool applyToAll;
    int questions;  // how often the question is shown for two existing outputs
};

class OverwriteTest : public ConvertTest, public ::testing::WithParamInterface<OverwriteCase> {};

TEST_P(OverwriteTest, AnswersActOnEveryExistingOutput) {
    const OverwriteCase& c = GetParam();
    Tmainform& form = WavWindow({"p", "q"}, 1, {{"overwrite", "2"}});
    for (const char* n : {"p", "q"}) MakeWav(files_ / "out" / (std::string(n) + ".wav"), 0.05, 1000.0);
    const auto oldSize = fs::file_size(files_ / "out" / "p.wav");

    int questions = 0, saves = 0;
    QString asked;
    QTimer answer;
    answer.setInterval(10);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        TOverwriteDialog* dialog = form.OverwriteDialog();
        if (!dialog->isVisible()) return;
        ++questions;
        asked = dialog->windowTitle();
        dialog->ApplyToAll()->setChecked(c.applyToAll);
        (c.button == 106   ? dialog->YesButton()
         : c.button == 107 ? dialog->NoButton()
                           : dialog->NewNameButton())
            ->click();
    });
    answer.start();
    SetSaveNameHook([&](QWidget*, const QString& folder, const QString& filter, const QString& suffix) {
        EXPECT_EQ(folder.toStdString() + (folder.endsWith(QLatin1Char('/')) ? "" : "/"),
                  (files_ / "out").string() + "/");
        EXPECT_TRUE(filter.contains(QStringLiteral("(*.wav)")));
        EXPECT_EQ(suffix, QStringLiteral("wav"));
        ++saves;
        return QString::fromStdString(
            (files_ / "out" / ("renamed" + std::to_string(saves) + ".wav")).string());
    });
    form.Convert();
    ASSERT_TRUE(WaitFor([&] { return Finished(); }));
    answer.stop();

    EXPECT_EQ(questions, c.questions);
    EXPECT_EQ(asked, QStringLiteral("Output file already exists"));
    const bool overwritten = fs::file_size(files_ / "out" / "p.wav") != oldSize;
    switch (c.button) {
        case 106:
            EXPECT_TRUE(overwritten);
            EXPECT_EQ(Statuses(), (std::vector<QString>{QStringLiteral("Done!"), QStringLiteral("Done!")}));
            break;
        case 107:
            EXPECT_FALSE(overwritten);
            EXPECT_EQ(Statuses(),
                      (std::vector<QString>{QStringLiteral("Skipped"), QStringLiteral("Skipped")}));
            EXPECT_EQ(Log()[Log().size() - 2], QStringLiteral("Skipped existing 2 file(s)."));
            break;
        default:
            EXPECT_FALSE(overwritten);
            EXPECT_EQ(saves, 2);
            EXPECT_TRUE(fs::exists(files_ / "out" / "renamed1.wav"));
            EXPECT_TRUE(fs::exists(files_ / "out" / "renamed2.wav"));
            EXPECT_EQ(Statuses(), (std::vector<QString>{QStringLiteral("Done!"), QStringLiteral("Done!")}));
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, OverwriteTest,
                         ::testing::Values(OverwriteCase{106, false, 2}, OverwriteCase{106, true, 1},
                                           OverwriteCase{107, false, 2}, OverwriteCase{107, true, 1},
                                           OverwriteCase{102, false, 2}, OverwriteCase{102, true, 1}));

TEST_F(ConvertTest, CancellingTheSaveDialogSkipsTheFile) {
    Tmainform& form = WavWindow({"s"}, 1, {{"overwrite", "2"}});
    MakeWav(files_ / "out" / "s.wav", 0.05);
    QTimer answer;
    answer.setInterval(10);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (form.OverwriteDialog()->isVisible()) form.OverwriteDialog()->NewNameButton()->click();
    });
    answer.start();
    SetSaveNameHook([](QWidget*, const QString&, const QString&, const QString&) { return QString(); });
    form.Convert();
    ASSERT_TRUE(WaitFor([&] { return Finished(); }));
    EXPECT_EQ(Statuses(), (std::vector<QString>{QStringLiteral("Skipped")}));
}

struct PercentCase {
    std::vector<double> shares;
    const char* label;
    int bar;
};

class ProgressTextTest : public ::testing::TestWithParam<PercentCase> {};

TEST_P(ProgressTextTest, TickShowsTheSumOfTheWorkersShares) {
    TProgressForm form;
    const PercentCase& c = GetParam();
    form.SetReadings({[&] {
                          double sum = 0;
                          for (double s : c.shares) sum += s;
                          return sum;
                      },
                      [] { return 0; }, [] { return 0; }, [] { return 0; }});
    QLocale::setDefault(QLocale::c());
    form.StartProgress();
    EXPECT_EQ(form.OverallLabel()->text(), QStringLiteral("Overall Progress 0%"));
    form.Timer1Timer();
    EXPECT_EQ(form.OverallLabel()->text(), QString::fromLatin1(c.label));
    EXPECT_EQ(form.OverallProgress()->value(), c.bar);
    EXPECT_TRUE(form.Timer()->isActive());
    EXPECT_EQ(form.Timer()->interval(), 100);
}

INSTANTIATE_TEST_SUITE_P(
    Shares, ProgressTextTest,
    ::testing::Values(PercentCase{{25.0, 12.5}, "Overall Progress (37.50%)", 38},
                      PercentCase{{12.25, 0.25}, "Overall Progress (12.50%)", 12},
                      PercentCase{{33.3333, 33.3333, 33.3334}, "Overall Progress (100.00%)", 100}));
