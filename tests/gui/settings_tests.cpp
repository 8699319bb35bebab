// The settings window: each control writes its field at once and the value survives a restart, the
// thread count is held to the processors there are, stored values outside the choices stay untouched, the
// main window's same-folder box reaches in, and the page list switches pages.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>
#include <QTreeWidget>

#include "gui/mainform.h"
#include "gui/settingsform.h"
#include "gui/versioncheck.h"
#include "gui_helpers.h"
#include "wvt/config.h"
#include "wvt/settings.h"

namespace {

config Stored(const std::filesystem::path& folder) {
    config stored;
    LoadSettings(stored, folder / "wavetrove.ini");
    return stored;
}

}  // namespace

using SettingsWindowTest = GuiTest;

TEST_F(SettingsWindowTest, EveryControlWritesItsFieldAtOnceAndSurvivesARestart) {
    Tmainform& form = MakeWindow();
    Tsettingsform* settings = form.SettingsForm();
    ASSERT_NE(settings, nullptr);
    const config before = Config;

    struct Box {
        QCheckBox* box;
        bool config::*field;
    };
    const Box boxes[] = {{settings->openfolder(), &config::openfolder},
                         {settings->recurse(), &config::recurse},
                         {settings->tags(), &config::tags},
                         {settings->retaindate(), &config::retaindate},
                         {settings->Checkupdates(), &config::checkupdates}};
    for (const Box& b : boxes) {
        SCOPED_TRACE(b.box->objectName().toStdString());
        EXPECT_EQ(b.box->isChecked(), before.*b.field);
        b.box->click();
        EXPECT_EQ(Config.*b.field, !(before.*b.field));
    }
    settings->threadpriority()->setCurrentIndex(6);
    EXPECT_EQ(settings->threadpriority()->currentText(), QStringLiteral("Time Critical "));
    EXPECT_EQ(Config.priority, 6);
    settings->threadscount()->setValue(1);
    EXPECT_EQ(Config.threadscount, 1);
    settings->OverwriteButton(1)->click();
    EXPECT_EQ(Config.overwrite, 1);
    settings->OverwriteButton(3)->click();
    EXPECT_EQ(Config.overwrite, 3);
    // Closing by the title bar keeps every change: there is no Cancel.
    settings->close();
    EXPECT_EQ(Config.overwrite, 3);

    const config edited = Config;
    CloseWindow();
    const config stored = Stored(SettingsFolder());
    for (const Box& b : boxes) EXPECT_EQ(stored.*b.field, edited.*b.field);
    EXPECT_EQ(stored.priority, 6);
    EXPECT_EQ(stored.threadscount, 1);
    EXPECT_EQ(stored.overwrite, 3);

    Tmainform& again = MakeWindow();
    Tsettingsform* shown = again.SettingsForm();
    EXPECT_EQ(shown->openfolder()->isChecked(), edited.openfolder);
    EXPECT_EQ(shown->recurse()->isChecked(), edited.recurse);
    EXPECT_EQ(shown->tags()->isChecked(), edited.tags);
    EXPECT_EQ(shown->retaindate()->isChecked(), edited.retaindate);
    EXPECT_EQ(shown->Checkupdates()->isChecked(), edited.checkupdates);
    EXPECT_EQ(shown->threadpriority()->currentIndex(), 6);
    EXPECT_EQ(shown->threadscount()->value(), 1);
    EXPECT_TRUE(shown->OverwriteButton(3)->isChecked());
    EXPECT_EQ(shown->Label11()->text(), QStringLiteral("Version ") + FileVersion());
}

TEST_F(SettingsWindowTest, ThreadCountIsHeldToTheProcessorsThereAre) {
    const int processors = ProcessorCount();
    struct Case {
        const char* stored;
        int expected;
    };
    const Case cases[] = {{"64", std::min(64, processors)}, {"0", 1}, {"-3", 1}, {"1", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        SeedSettings({{"threadscount", c.stored}});
        Tmainform& form = MakeWindow();
        EXPECT_EQ(Config.threadscount, c.expected);
        EXPECT_EQ(form.SettingsForm()->threadscount()->value(), c.expected);
        EXPECT_EQ(form.SettingsForm()->threadscount()->maximum(), processors);
        CloseWindow();
        EXPECT_EQ(Stored(SettingsFolder()).threadscount, c.expected);
    }

    // Typed text: out of range is held to the limits, no number reads as the minimum, letters never land.
    Tmainform& form = MakeWindow();
    Tsettingsform* settings = form.SettingsForm();
    form.settingsbuttonClick();
    settings->Pages()->setCurrentIndex(1);
    TThreadCountBox* box = settings->threadscount();
    struct Typed {
        const char* keys;
        int expected;
    };
    const Typed typed[] = {{"99", processors}, {"-", 1}, {"x1", 1}};
    for (const Typed& t : typed) {
        SCOPED_TRACE(t.keys);
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, QString::fromLatin1(t.keys));
        EXPECT_FALSE(box->text().contains(QLatin1Char('x')));
        settings->OkButton()->setFocus();  // leaving the field holds the value
        box->clearFocus();
        QTest::keyClick(box, Qt::Key_Return);
        EXPECT_EQ(box->value(), t.expected);
        EXPECT_EQ(Config.threadscount, t.expected);
    }
}

TEST_F(SettingsWindowTest, StoredValuesOutsideTheChoicesShowNothingAndStay) {
    SeedSettings({{"overwrite", "7"}, {"priority", "9"}});
    Tmainform& form = MakeWindow();
    Tsettingsform* settings = form.SettingsForm();
    for (int value = 0; value < 4; ++value) EXPECT_FALSE(settings->OverwriteButton(value)->isChecked());
    EXPECT_EQ(settings->threadpriority()->currentIndex(), -1);
    EXPECT_EQ(Config.overwrite, 7);
    EXPECT_EQ(Config.priority, 9);
    CloseWindow();
    const config stored = Stored(SettingsFolder());
    EXPECT_EQ(stored.overwrite, 7);
    EXPECT_EQ(stored.priority, 9);

    Tmainform& again = MakeWindow();
    again.SettingsForm()->OverwriteButton(2)->click();
    again.SettingsForm()->threadpriority()->setCurrentIndex(0);
    EXPECT_EQ(Config.overwrite, 2);
    EXPECT_EQ(Config.priority, 0);
}

TEST_F(SettingsWindowTest, SameFolderBoxUnchecksOpenFolderHere) {
    SeedSettings({{"openfolder", "1"}});
    Tmainform& form = MakeWindow();
    ASSERT_TRUE(form.SettingsForm()->openfolder()->isChecked());
    form.SameFolderBox()->click();
    EXPECT_FALSE(form.SettingsForm()->openfolder()->isChecked());
    EXPECT_FALSE(Config.openfolder);
    // Unchecking same-folder gives nothing back.
    form.SameFolderBox()->click();
    EXPECT_FALSE(form.SettingsForm()->openfolder()->isChecked());
    form.SettingsForm()->openfolder()->click();
    EXPECT_TRUE(Config.openfolder);
}

TEST_F(SettingsWindowTest, SettingsButtonShowsGeneralWithoutBlockingAndTheListSwitchesPages) {
    Tmainform& form = MakeWindow();
    QAction* button = form.Action(QStringLiteral("tool_settings"));
    ASSERT_TRUE(button->isEnabled());
    Tsettingsform* settings = form.SettingsForm();
    EXPECT_FALSE(settings->isVisible());
    button->trigger();  // returns at once: the window does not block
    EXPECT_TRUE(settings->isVisible());
    EXPECT_FALSE(settings->isModal());
    EXPECT_EQ(settings->windowTitle(), QStringLiteral("Settings"));
    EXPECT_EQ(settings->Pages()->currentIndex(), 0);

    QTreeWidget* list = settings->NavTreeView1();
    const QStringList entries = {QStringLiteral("General"), QStringLiteral("Performance"),
                                 QStringLiteral("Overwrite"), QStringLiteral("About")};
    ASSERT_EQ(list->topLevelItemCount(), entries.size());
    for (int i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(list->topLevelItem(i)->text(0), entries[i]);
        EXPECT_FALSE(list->topLevelItem(i)->icon(0).isNull());
    }
    for (int i : {2, 3, 1, 0}) {
        list->setCurrentItem(list->topLevelItem(i));
        EXPECT_EQ(settings->Pages()->currentIndex(), i);
    }
    list->setCurrentItem(list->topLevelItem(3));
    settings->OkButton()->click();
    EXPECT_FALSE(settings->isVisible());
    button->trigger();  // opens on General again
    EXPECT_EQ(settings->Pages()->currentIndex(), 0);
    EXPECT_EQ(list->currentItem(), list->topLevelItem(0));
}
