// Screenshots of the settings window's pages, the file properties window and the update question, taken
// only when a folder for them is given (the gui_screenshots test under Xvfb).
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <fstream>

#include "bindings/taglib.h"
#include "gui/fileslist.h"
#include "gui/mainform.h"
#include "gui/messages.h"
#include "gui/propertiesform.h"
#include "gui/settingsform.h"
#include "gui/versioncheck.h"
#include "gui_helpers.h"
#include "update_server.h"

namespace fs = std::filesystem;

using Screenshots = GuiTest;

TEST_F(Screenshots, SettingsPropertiesAndUpdateQuestion) {
    const char* folder = std::getenv("WAVETROVE_SCREENSHOT_DIR");
    if (!folder) GTEST_SKIP() << "set WAVETROVE_SCREENSHOT_DIR to take screenshots";
    QDir().mkpath(QString::fromLocal8Bit(folder));
    const QString dir = QString::fromLocal8Bit(folder) + QLatin1Char('/');

    UpdateServer server;
    server.Answer(200, "99.0.0.0");
    SeedSettings({{"checkupdates", "0"}, {"overwrite", "3"}});
    std::ofstream(SettingsFolder() / "wavetrove.ini", std::ios::app)
        << "[Update]\nurl=" << server.Url().toStdString() << "\nsite=downloads.example.org\n";
    Tmainform& form = MakeWindow();

    Tsettingsform* settings = form.SettingsForm();
    form.settingsbuttonClick();
    const char* pages[] = {"settings-general.png", "settings-performance.png", "settings-overwrite.png",
                           "settings-about.png"};
    for (int i = 0; i < 4; ++i) {
        settings->NavTreeView1()->setCurrentItem(settings->NavTreeView1()->topLevelItem(i));
        WaitFor([] { return false; }, 200);
        EXPECT_TRUE(settings->grab().save(dir + QLatin1String(pages[i]))) << pages[i];
    }
    settings->OkButton()->click();

    const fs::path song = files_ / "Morning Walk.wav";
    MakeWav(song, 0.5, 440.0, 48000);
    taglib::taglib_set_strings_unicode(true);
    if (taglib::TagLib_File* file = taglib::taglib_file_newu(song.c_str())) {
        taglib::TagLib_Tag* tag = taglib::taglib_file_tag(file);
        taglib::taglib_tag_set_title(tag, "Morning Walk");
        taglib::taglib_tag_set_artist(tag, "The Walkers");
        taglib::taglib_tag_set_album(tag, "Early Hours");
        taglib::taglib_tag_set_year(tag, 2021);
        taglib::taglib_tag_set_genre(tag, "Ambient");
        taglib::taglib_file_save(file);
        taglib::taglib_file_free(file);
    }
    form.addfile(song.string());
    MakeWav(files_ / "Evening Rain.wav");
    form.addfile((files_ / "Evening Rain.wav").string());
    form.List()->selectRow(0);
    bool grabbed = false;
    QTimer::singleShot(300, form.PropertiesForm(), [&] {
        grabbed = form.PropertiesForm()->grab().save(dir + QStringLiteral("properties.png"));
        form.PropertiesForm()->Button1()->click();
    });
    form.FileProperties1Click();
    EXPECT_TRUE(grabbed);

    // The real question box, answered No once it has been painted.
    SetQuestionHook({});
    bool asked = false;
    QTimer poll;
    poll.setInterval(100);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        if (!asked) {
            asked = box->grab().save(dir + QStringLiteral("update-question.png"));
            return;
        }
        box->button(QMessageBox::No)->click();
        poll.stop();
    });
    poll.start();
    form.Checkupdates1Click();
    EXPECT_TRUE(WaitFor([&] { return asked && !poll.isActive(); }, 20000));
    EXPECT_TRUE(WaitFor([&] { return !form.VersionCheck()->Running(); }, 20000));
}
