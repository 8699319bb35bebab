// The main window's own controls: the linked folder check boxes, the format box and its options button,
// settings restored at start and stored at close, Help.
#include <QAction>
#include <QCheckBox>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QTest>
#include <QFileInfo>

#include "wvt/config.h"
#include "gui/fileslist.h"
#include "gui/formatbox.h"
#include "gui_helpers.h"
#include "gui/listheader.h"
#include "gui/mainform.h"
#include "wvt/settings.h"
#include "gui/wavencoderform.h"

using WindowTest = GuiTest;

TEST_F(WindowTest, StartingWithSameFolderDisablesTheFolderControls) {
    SeedSettings({{"samefolder", "true"}, {"keepfolder", "true"}, {"openfolder", "true"}});
    Tmainform& form = MakeWindow();
    EXPECT_TRUE(form.SameFolderBox()->isChecked());
    for (QWidget* w :
         {static_cast<QWidget*>(form.BrowseButton()), static_cast<QWidget*>(form.OpenFolderButton()),
          static_cast<QWidget*>(form.PathBox()), static_cast<QWidget*>(form.KeepFoldersBox())})
        EXPECT_FALSE(w->isEnabled());
    EXPECT_FALSE(form.KeepFoldersBox()->isChecked());
    EXPECT_FALSE(Config.keepfolder);
    EXPECT_FALSE(Config.openfolder);

    // Unchecking it gives the folder controls back; keep-structure then unchecks same-folder again.
    form.SameFolderBox()->click();
    EXPECT_FALSE(Config.samefolder);
    EXPECT_TRUE(form.KeepFoldersBox()->isEnabled());
    EXPECT_TRUE(form.PathBox()->isEnabled());
    form.SameFolderBox()->click();
    form.SameFolderBox()->click();
    form.KeepFoldersBox()->click();
    EXPECT_TRUE(Config.keepfolder);
    EXPECT_FALSE(form.SameFolderBox()->isChecked());
    form.SameFolderBox()->click();
    EXPECT_TRUE(Config.samefolder);
    EXPECT_FALSE(form.KeepFoldersBox()->isChecked());
    EXPECT_FALSE(form.KeepFoldersBox()->isEnabled());
    EXPECT_FALSE(Config.keepfolder);
}

TEST_F(WindowTest, FormatChoiceSetsTheCodecAndTheOptionsButton) {
    SeedSettings({{"codec", "99"}});
    Tmainform& form = MakeWindow();
    const int last = form.FormatBox()->count() - 1;
    EXPECT_EQ(form.FormatBox()->currentIndex(), last);  // clamped to the last writer
    EXPECT_EQ(Config.codec, last);

    const int gsm = CodecIndex(form, QStringLiteral("GSM"));
    const int wav = CodecIndex(form, QStringLiteral("WAV"));
    ASSERT_GE(gsm, 0);
    ASSERT_GE(wav, 0);
    form.FormatBox()->setCurrentIndex(gsm);
    EXPECT_EQ(Config.codec, gsm);
    EXPECT_FALSE(form.EncoderOptionsButton()->isEnabled());
    form.FormatBox()->setCurrentIndex(wav);
    EXPECT_EQ(Config.codec, wav);
    EXPECT_TRUE(form.EncoderOptionsButton()->isEnabled());
}

TEST_F(WindowTest, EncoderOptionsOpensTheSharedDialogInTheWritersMode) {
    Tmainform& form = MakeWindow();
    struct Case {
        const char* shortName;
        const char* caption;
        int mode;
    };
    for (const Case& c : {Case{"WAV", "WAV Encoder Options", 1}, Case{"AIFF", "AIFF Encoder Options", 2}}) {
        const int index = CodecIndex(form, QString::fromLatin1(c.shortName));
        ASSERT_GE(index, 0) << c.shortName;
        form.FormatBox()->setCurrentIndex(index);
        QString caption;
        int mode = 0;
        QTimer::singleShot(50, [&] {
            TWAVEncoderForm* dialog = form.WAVEncoderForm();
            caption = dialog->windowTitle();
            mode = dialog->Mode();
            dialog->cancelButton()->click();
        });
        QTest::mouseClick(form.EncoderOptionsButton(), Qt::LeftButton);
        EXPECT_EQ(caption, QString::fromLatin1(c.caption));
        EXPECT_EQ(mode, c.mode);
    }
}

TEST_F(WindowTest, SettingsAreStoredAtCloseAndRestoredAtStart) {
    SeedSettings({{"width", "700"},
                  {"height", "420"},
                  {"col0", "250"},
                  {"col1", "90"},
                  {"col2", "80"},
                  {"col3", "70"},
                  {"output", files_.path().string()}});
    {
        Tmainform& form = MakeWindow();
        EXPECT_EQ(form.width(), 700);
        EXPECT_EQ(form.height(), 420);
        EXPECT_EQ(form.List()->Header()->sectionSize(1), 90);
        EXPECT_EQ(form.List()->Header()->sectionSize(3), 70);
        EXPECT_EQ(form.PathBox()->text().toStdString(), files_.path().string());
        form.resize(760, 480);
        form.List()->Header()->resizeSection(2, 111);
        form.FormatBox()->setCurrentIndex(CodecIndex(form, QStringLiteral("GSM")));
        form.KeepFoldersBox()->click();
        CloseWindow();
    }
    config stored;
    LoadSettings(stored);
    EXPECT_EQ(stored.width, 760);
    EXPECT_EQ(stored.height, 480);
    EXPECT_EQ(stored.col[2], 111);
    EXPECT_TRUE(stored.keepfolder);

    Tmainform& again = MakeWindow();
    EXPECT_EQ(again.size(), QSize(760, 480));
    EXPECT_EQ(again.List()->Header()->sectionSize(2), 111);
    EXPECT_EQ(again.FormatBox()->currentIndex(), CodecIndex(again, QStringLiteral("GSM")));
    EXPECT_TRUE(again.KeepFoldersBox()->isChecked());
    EXPECT_EQ(again.minimumSize(), QSize(575, 275));
    // The first column fills what the others leave.
    int total = 0;
    for (int i = 0; i < 4; ++i) total += again.List()->Header()->sectionSize(i);
    EXPECT_EQ(total, again.List()->viewport()->width());
    EXPECT_TRUE(again.windowTitle().startsWith(QStringLiteral("Wavetrove ")));
}

// Receives the URLs the desktop is asked to open.
class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> urls;
  public slots:
    void open(const QUrl& url) { urls << url; }
};

TEST_F(WindowTest, HelpOpensTheManualOrSaysItIsMissing) {
    Tmainform& form = MakeWindow();
    EXPECT_TRUE(form.HelpFile().endsWith(QStringLiteral("/wavetrove.html")));
    ASSERT_TRUE(QFileInfo::exists(form.HelpFile())) << "the manual is copied next to the executables";
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    form.Action(QStringLiteral("menu_help"))->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls[0].toLocalFile(), form.HelpFile());
    EXPECT_TRUE(Messages().empty());

    const QString missing = QString::fromStdString((files_ / "wavetrove.html").string());
    form.SetHelpFile(missing);
    form.Contents1Click();
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, QStringLiteral("Unable to open help file ") + missing);
    EXPECT_EQ(Messages()[0].icon, QMessageBox::Critical);
}

#include "window_tests.moc"
