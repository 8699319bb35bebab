// "Add Audio CD...": the drive dialog with no drive, with drives holding discs or not, a CD image chosen
// through it, and its two entry points (the Add file drop-down and the list menu); images dropped or named
// on the command line add their tracks too.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>

#include "support/cd_image.h"
#include "gui/cdform.h"
#include "gui/fileslist.h"
#include "gui_helpers.h"
#include "gui/mainform.h"
#include "gui/messages.h"

namespace fs = std::filesystem;

namespace {

class CdDialogTest : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        setenv("WAVETROVE_CDDB_SERVER", "", 1);  // no lookups from these tests
        image =
            testsupport::MakeCdImage(files_.path(), "disc", {{588 * 75 * 2}, {588 * 20, false}, {588 * 75}});
    }
    // Runs `act` on the dialog once it is up, then answers what Choose gave.
    QStringList Drive(TCDForm& form, const std::function<void(TCDForm&)>& act) {
        QTimer::singleShot(50, [&] { act(form); });
        return form.Choose();
    }
    testsupport::CdImage image;
};

TEST_F(CdDialogTest, WithoutADriveItSaysSoAndStillOpensImages) {
    Tmainform& form = MakeWindow();
    TCDForm& dialog = *form.CDForm();
    dialog.SetDriveLister([] { return std::vector<CDDriveInfo>{}; });
    bool addEnabled = true;
    QString label;
    EXPECT_TRUE(Drive(dialog, [&](TCDForm& d) {
                    addEnabled = d.AddButton()->isEnabled();
                    label = d.NoDriveLabel()->isVisible() ? d.NoDriveLabel()->text() : QString();
                    d.CancelButton()->click();
                }).isEmpty());
    EXPECT_FALSE(addEnabled);
    EXPECT_EQ(label, QStringLiteral("No CD drive found."));

    QString filter;
    SetOpenFilesHook([&](QWidget*, const QString&, const QString&, const QString& f) {
        filter = f;
        return QStringList{QString::fromStdString(image.cue.string())};
    });
    QTimer::singleShot(50, [&] { dialog.ImageButton()->click(); });
    form.Action(QStringLiteral("tool_addAudioCD"))->trigger();
    EXPECT_EQ(filter, QStringLiteral("CD Images (*.cue)|*.cue"));
    EXPECT_EQ(ListPaths(), (std::vector<std::string>{image.TrackName(0), image.TrackName(2)}));
    EXPECT_EQ(form.Model()->Rows()[0].item.format, "Audio CD Track");
    EXPECT_EQ(form.Model()->Rows()[0].item.duration, "00:00:02");
    EXPECT_TRUE(Messages().empty());
}

TEST_F(CdDialogTest, ListsDrivesAndAddsTheChosenDisc) {
    Tmainform& form = MakeWindow();
    TCDForm& dialog = *form.CDForm();
    // The second "drive" is the image itself: what Add hands to the intake is the device path.
    dialog.SetDriveLister([&] {
        return std::vector<CDDriveInfo>{{"/dev/sr0", "VENDOR", "Empty Drive", false, 0, 0},
                                        {image.cue.string(), "", "Image Drive", true, 2, 183}};
    });
    QStringList texts;
    std::vector<bool> disabled;
    bool addEnabled = false;
    QTimer::singleShot(50, [&] {
        QTreeWidget* list = dialog.DriveList();
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            texts << list->topLevelItem(i)->text(0) + "|" + list->topLevelItem(i)->text(1) + "|" +
                         list->topLevelItem(i)->text(2);
            disabled.push_back(list->topLevelItem(i)->isDisabled());
        }
        addEnabled = dialog.AddButton()->isEnabled();
        dialog.AddButton()->click();
    });
    // Through the list menu's entry, right after "Add File...".
    QAction* menuEntry = form.Action(QStringLiteral("menu_addcd"));
    ASSERT_NE(menuEntry, nullptr);
    EXPECT_EQ(menuEntry->text(), QStringLiteral("Add Audio CD..."));
    menuEntry->trigger();
    EXPECT_EQ(texts, (QStringList{
                         QStringLiteral("/dev/sr0|VENDOR Empty Drive|No disc"),
                         QString::fromStdString(image.cue.string()) + "|Image Drive|2 audio tracks, 3:03"}));
    EXPECT_EQ(disabled, (std::vector<bool>{true, false}));
    EXPECT_TRUE(addEnabled);  // the drive with a disc was preselected
    EXPECT_EQ(ListPaths(), (std::vector<std::string>{image.TrackName(0), image.TrackName(2)}));
}

TEST_F(CdDialogTest, ADiscWithoutAudioIsReported) {
    const auto data = testsupport::MakeCdImage(files_.path(), "data", {{588 * 20, false}});
    Tmainform& form = MakeWindow();
    SetOpenFilesHook([&](QWidget*, const QString&, const QString&, const QString&) {
        return QStringList{QString::fromStdString(data.cue.string())};
    });
    form.CDForm()->SetDriveLister([] { return std::vector<CDDriveInfo>{}; });
    QTimer::singleShot(50, [&] { form.CDForm()->ImageButton()->click(); });
    form.AddAudioCD();
    EXPECT_EQ(form.Model()->rowCount(), 0);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, "No audio CD in " + QString::fromStdString(data.cue.string()) + ".");
}

TEST_F(CdDialogTest, ImagesDroppedOrNamedOnTheCommandLineAddTheirTracks) {
    Tmainform& form = MakeWindow({QString::fromStdString(image.cue.string())});
    form.FormShow();
    EXPECT_EQ(ListPaths(), (std::vector<std::string>{image.TrackName(0), image.TrackName(2)}));
    form.Clear();
    form.WMDropFiles({QString::fromStdString(image.cue.string())});
    EXPECT_EQ(form.Model()->rowCount(), 2);
}

}  // namespace
