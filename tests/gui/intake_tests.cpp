// The conversion list's intake roads (Add file, Add folder with its scan and Cancel, drops, the command
// line), duplicates, the header check box, sorting, reordering, Remove and Clear.
#include <QCheckBox>
#include <QAction>
#include <fstream>
#include <QHeaderView>
#include <QPushButton>
#include <QTest>

#include "wvt/config.h"
#include "wvt/intake.h"
#include "gui/fileslist.h"
#include "gui_helpers.h"
#include "gui/listheader.h"
#include "gui/mainform.h"
#include "gui/messages.h"
#include "gui/waitform.h"

namespace fs = std::filesystem;

using IntakeTest = GuiTest;

TEST_F(IntakeTest, AddFileDialogAddsRowsOnceAndRemembersTheFolder) {
    MakeWav(files_ / "one.wav", 1.0);
    MakeWav(files_ / "two.wav");
    fs::create_directories(files_ / "sub");
    MakeWav(files_ / "sub" / "three.wav");
    testsupport::WriteBytes(files_ / "junk.wav", std::vector<uint8_t>(100, 'x'));  // no source opens it
    Tmainform& form = MakeWindow();

    QString filterSeen;
    SetOpenFilesHook([&](QWidget*, const QString&, const QString&, const QString& filter) {
        filterSeen = filter;
        return QStringList{QString::fromStdString((files_ / "one.wav").string()),
                           QString::fromStdString((files_ / "two.wav").string()),
                           QString::fromStdString((files_ / "junk.wav").string()),
                           QString::fromStdString((files_ / "one.wav").string())};
    });
    form.AddFiles();
    EXPECT_TRUE(filterSeen.startsWith(QStringLiteral("All Supported Formats (*.")));
    EXPECT_TRUE(filterSeen.contains(QStringLiteral(";;M3U Audio Playlist (*.m3u)")));
    EXPECT_FALSE(filterSeen.contains(QLatin1Char('|')));
    EXPECT_EQ(ListPaths(),
              (std::vector<std::string>{(files_ / "one.wav").string(), (files_ / "two.wav").string()}));
    EXPECT_EQ(Config.recent, files_.path().string() + "/");

    const TListRow& row = form.Model()->Rows()[0];
    EXPECT_EQ(row.item.name, "one");
    EXPECT_EQ(row.item.duration, "00:00:01");
    EXPECT_TRUE(row.checked);
    EXPECT_EQ(form.Model()->data(form.Model()->index(0, 3), Qt::DisplayRole).toString(),
              QStringLiteral("Ready"));
    EXPECT_FALSE(form.Model()->data(form.Model()->index(0, 1), Qt::DisplayRole).toString().isEmpty());

    // Added again by another road, and spelled differently.
    form.WMDropFiles({QString::fromStdString((files_ / "two.wav").string())});
    EXPECT_EQ(form.Model()->rowCount(), 2);
    form.addfile(files_.path().string() + "//two.wav");
    EXPECT_EQ(form.Model()->rowCount(), 3);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(IntakeTest, AddFolderScansUnderTheWaitWindow) {
    for (int i = 0; i < 3; ++i) MakeWav(files_ / ("f" + std::to_string(i) + ".wav"));
    fs::create_directories(files_ / "deep" / "er");
    MakeWav(files_ / "deep" / "er" / "low.wav");
    testsupport::WriteBytes(files_ / "notes.txt", {'h', 'i'});

    for (bool recurse : {true, false}) {
        SeedSettings({{"recurse", recurse ? "true" : "false"}});
        Tmainform& form = MakeWindow();
        folderAnswers_ = {QString::fromStdString(files_.path().string())};
        form.AddFolder1Click();
        EXPECT_TRUE(form.Scanning());
        EXPECT_TRUE(form.WaitForm()->isVisible());
        EXPECT_TRUE(form.WaitForm()->isModal());
        EXPECT_EQ(form.WaitForm()->windowTitle(), QStringLiteral("  Scanning the folder..."));
        ASSERT_TRUE(WaitFor([&] { return !form.Scanning(); }));
        EXPECT_FALSE(form.WaitForm()->isVisible());
        EXPECT_TRUE(form.FolderQueue().empty());
        EXPECT_EQ(form.Model()->rowCount(), recurse ? 4 : 3) << "recurse " << recurse;
        EXPECT_EQ(Config.recent, files_.path().string());
        EXPECT_TRUE(form.List()->Header()->IsChecked());
        CloseWindow();
    }
}

TEST_F(IntakeTest, CancelStopsAScanAndKeepsWhatItFound) {
    const int count = 300;
    for (int i = 0; i < count; ++i) MakeWav(files_ / ("n" + std::to_string(i) + ".wav"), 0.01);
    Tmainform& form = MakeWindow();
    folderAnswers_ = {QString::fromStdString(files_.path().string())};
    form.AddFolder1Click();
    QTest::mouseClick(form.WaitForm()->CancelButton(), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !form.Scanning(); }));
    EXPECT_LT(form.Model()->rowCount(), count);
    EXPECT_EQ(static_cast<size_t>(form.Model()->rowCount()), form.Intake().Pending().size());
    EXPECT_FALSE(form.WaitForm()->isVisible());

    // The stop flag is cleared by the next scan, which finds everything.
    form.Clear();
    folderAnswers_ = {QString::fromStdString(files_.path().string())};
    form.AddFolder1Click();
    ASSERT_TRUE(WaitFor([&] { return !form.Scanning(); }));
    EXPECT_EQ(form.Model()->rowCount(), count);
}

TEST_F(IntakeTest, DropsAndCommandLineTakeFilesAndFoldersButNotPlaylists) {
    MakeWav(files_ / "a.wav");
    fs::create_directories(files_ / "dir");
    MakeWav(files_ / "dir" / "b.wav");
    {
        std::ofstream m3u(files_ / "list.m3u");
        m3u << "a.wav\n";
    }
    const QString a = QString::fromStdString((files_ / "a.wav").string());
    const QString dir = QString::fromStdString((files_ / "dir").string());
    const QString list = QString::fromStdString((files_ / "list.m3u").string());

    Tmainform& form = MakeWindow({list, dir, a});
    form.FormShow();
    ASSERT_TRUE(WaitFor([&] { return !form.Scanning(); }));
    EXPECT_EQ(ListPaths(),
              (std::vector<std::string>{(files_ / "a.wav").string(), (files_ / "dir" / "b.wav").string()}));
    EXPECT_FALSE(form.Automated());

    form.Clear();
    form.WMDropFiles({list});
    EXPECT_EQ(form.Model()->rowCount(), 0);
    // A long path is taken whole.
    fs::path deep = files_.path();
    while (deep.string().size() < 300) deep /= std::string(40, 'd');
    fs::create_directories(deep);
    MakeWav(deep / "long.wav");
    form.WMDropFiles({QString::fromStdString((deep / "long.wav").string()), dir});
    ASSERT_TRUE(WaitFor([&] { return !form.Scanning(); }));
    EXPECT_EQ(ListPaths(),
              (std::vector<std::string>{(deep / "long.wav").string(), (files_ / "dir" / "b.wav").string()}));
}

TEST_F(IntakeTest, HeaderCheckBoxFollowsTheRowsAndSetsThemAll) {
    for (const char* n : {"a", "b", "c"}) MakeWav(files_ / (std::string(n) + ".wav"));
    Tmainform& form = MakeWindow();
    TListHeader* header = form.List()->Header();
    EXPECT_FALSE(header->IsChecked());
    for (const char* n : {"a", "b", "c"}) form.addfile((files_ / (std::string(n) + ".wav")).string());
    EXPECT_TRUE(header->IsChecked());

    TFilesModel* model = form.Model();
    model->setData(model->index(1, 0), Qt::Unchecked, Qt::CheckStateRole);
    EXPECT_FALSE(header->IsChecked());
    model->setData(model->index(1, 0), Qt::Checked, Qt::CheckStateRole);
    EXPECT_TRUE(header->IsChecked());

    // A click on the header's box sets every row without sorting.
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, header->CheckBoxRect().center());
    EXPECT_FALSE(header->IsChecked());
    for (const TListRow& r : model->Rows()) EXPECT_FALSE(r.checked);
    EXPECT_FALSE(header->isSortIndicatorShown());
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, header->CheckBoxRect().center());
    for (const TListRow& r : model->Rows()) EXPECT_TRUE(r.checked);

    form.List()->selectAll();
    form.delete_();
    EXPECT_EQ(model->rowCount(), 0);
    EXPECT_FALSE(header->IsChecked());
}

TEST_F(IntakeTest, RemoveTakesOnlyTheSelectedRows) {
    for (const char* n : {"a", "b", "c", "d"}) MakeWav(files_ / (std::string(n) + ".wav"));
    Tmainform& form = MakeWindow();
    for (const char* n : {"a", "b", "c", "d"}) form.addfile((files_ / (std::string(n) + ".wav")).string());
    form.List()->selectionModel()->select(form.Model()->index(1, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    form.List()->selectionModel()->select(form.Model()->index(3, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    form.Action(QStringLiteral("menu_remove"))->trigger();
    EXPECT_EQ(ListPaths(),
              (std::vector<std::string>{(files_ / "a.wav").string(), (files_ / "c.wav").string()}));
    form.Clear();
    EXPECT_EQ(form.Model()->rowCount(), 0);
    EXPECT_TRUE(form.Intake().Pending().empty());
}

struct SortCase {
    int column;
    std::vector<std::string> firstClick;  // names after the first click (descending)
};

class SortTest : public GuiTest, public ::testing::WithParamInterface<SortCase> {};

TEST_P(SortTest, FirstClickSortsDescendingSecondAscending) {
    // Names differ in case, durations in length: the name column compares upper-cased texts.
    MakeWav(files_ / "beta.wav", 2.0);
    MakeWav(files_ / "Alpha.wav", 3.0);
    MakeWav(files_ / "gamma.wav", 1.0);
    Tmainform& form = MakeWindow();
    for (const char* n : {"beta", "Alpha", "gamma"})
        form.addfile((files_ / (std::string(n) + ".wav")).string());
    TListHeader* header = form.List()->Header();
    const int column = GetParam().column;
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) - 10,
                    header->height() / 2);

    auto names = [&] {
        std::vector<std::string> out;
        for (const TListRow& r : form.Model()->Rows()) out.push_back(r.item.name);
        return out;
    };
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(names(), GetParam().firstClick);
    EXPECT_EQ(header->sortIndicatorSection(), column);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    std::vector<std::string> ascending(GetParam().firstClick.rbegin(), GetParam().firstClick.rend());
    EXPECT_EQ(names(), ascending);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    // Sorting touched only the order.
    EXPECT_TRUE(header->IsChecked());
}

INSTANTIATE_TEST_SUITE_P(Columns, SortTest,
                         ::testing::Values(SortCase{0, {"gamma", "beta", "Alpha"}},
                                           SortCase{2, {"Alpha", "beta", "gamma"}}));

TEST_F(IntakeTest, DraggingMovesTheFocusedRowAroundTheTarget) {
    for (const char* n : {"a", "b", "c", "d"}) MakeWav(files_ / (std::string(n) + ".wav"));
    Tmainform& form = MakeWindow();
    for (const char* n : {"a", "b", "c", "d"}) form.addfile((files_ / (std::string(n) + ".wav")).string());
    auto order = [&] {
        std::string out;
        for (const TListRow& r : form.Model()->Rows()) out += r.item.name;
        return out;
    };
    TFilesView* view = form.List();
    view->setCurrentIndex(form.Model()->index(0, 0));
    view->DropFocusedRow(2, TFilesView::DropPlace::Above);
    EXPECT_EQ(order(), "bacd");
    view->setCurrentIndex(form.Model()->index(3, 0));
    view->DropFocusedRow(0, TFilesView::DropPlace::On);
    EXPECT_EQ(order(), "bdac");
    view->setCurrentIndex(form.Model()->index(0, 0));
    view->DropFocusedRow(3, TFilesView::DropPlace::Below);
    EXPECT_EQ(order(), "dacb");
    view->DropFocusedRow(-1, TFilesView::DropPlace::Nowhere);
    EXPECT_EQ(order(), "dacb");
}
