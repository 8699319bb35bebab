// The file properties window: the values of a file made and tagged here, read afresh at each showing; the
// steps through the list in its current order; a deleted file; how the main window opens it.
#include <QAction>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "bindings/taglib.h"
#include "gui/fileslist.h"
#include "gui/mainform.h"
#include "gui/propertiesform.h"
#include "gui_helpers.h"

namespace fs = std::filesystem;

namespace {

struct Tags {
    const char* title;
    const char* artist;
    const char* album;
    unsigned year;
    const char* genre;
};

void TagFile(const fs::path& file, const Tags& tags) {
    taglib::taglib_set_strings_unicode(true);
    taglib::TagLib_File* handle = taglib::taglib_file_newu(file.c_str());
    ASSERT_NE(handle, nullptr);
    taglib::TagLib_Tag* tag = taglib::taglib_file_tag(handle);
    ASSERT_NE(tag, nullptr);
    taglib::taglib_tag_set_title(tag, tags.title);
    taglib::taglib_tag_set_artist(tag, tags.artist);
    taglib::taglib_tag_set_album(tag, tags.album);
    taglib::taglib_tag_set_year(tag, tags.year);
    taglib::taglib_tag_set_genre(tag, tags.genre);
    taglib::taglib_tag_set_track(tag, 7);
    EXPECT_TRUE(taglib::taglib_file_save(handle));
    taglib::taglib_file_free(handle);
}

void MakeMonoWav(const fs::path& path, int rate) {
    testsupport::PcmSpec spec{rate, 1, testsupport::SampleKind::U8};
    testsupport::WriteBytes(path, testsupport::WavFile(spec, testsupport::SinePcm(spec, rate / 5, 440.0)));
}

QStringList Labels(const QTreeWidget* tree) {
    QStringList labels;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(tree)); *it; ++it) labels << (*it)->text(0);
    return labels;
}

}  // namespace

using PropertiesTest = GuiTest;

TEST(ChannelsText, NamesSurroundLayoutsAndCountsTheRest) {
    const std::pair<int, const char*> cases[] = {{1, "1"}, {2, "2"}, {4, "4"}, {6, "5.1"}, {8, "7.1"}};
    for (const auto& [channels, text] : cases) EXPECT_EQ(ChannelsText(channels), QString::fromLatin1(text));
}

TEST_F(PropertiesTest, ShowsTheFormatAndTagsOfTheFileAsItIsNow) {
    Tmainform& form = MakeWindow();
    const fs::path tagged = files_ / "tagged.wav";
    const fs::path plain = files_ / "plain.wav";
    MakeWav(tagged, 0.2, 440.0, 48000);
    MakeMonoWav(plain, 22050);
    TagFile(tagged, {"Morning Walk", "The Walkers", "Early Hours", 2021, "Ambient"});
    TagFile(plain, {"Untimed", "", "", 0, ""});
    form.addfile(tagged.string());
    form.addfile(plain.string());
    ASSERT_EQ(form.Model()->rowCount(), 2);

    TPropertiesForm* properties = form.PropertiesForm();
    EXPECT_EQ(properties->windowTitle(), QStringLiteral("File Properties"));
    properties->setnode(0);
    EXPECT_EQ(properties->windowTitle(), QStringLiteral("tagged.wav"));
    EXPECT_FALSE(properties->Value(QStringLiteral("Format")).isEmpty());
    EXPECT_EQ(properties->Value(QStringLiteral("Sample Rate")), QStringLiteral("48000 Hz"));
    EXPECT_EQ(properties->Value(QStringLiteral("Channels")), QStringLiteral("2"));
    EXPECT_EQ(properties->Value(QStringLiteral("Bits per sample")), QStringLiteral("16"));
    EXPECT_EQ(properties->Value(QStringLiteral("Title")), QStringLiteral("Morning Walk"));
    EXPECT_EQ(properties->Value(QStringLiteral("Artist")), QStringLiteral("The Walkers"));
    EXPECT_EQ(properties->Value(QStringLiteral("Album")), QStringLiteral("Early Hours"));
    EXPECT_EQ(properties->Value(QStringLiteral("Year")), QStringLiteral("2021"));
    EXPECT_EQ(properties->Value(QStringLiteral("Genre")), QStringLiteral("Ambient"));

    // Two expanded groups, nine entries, no track number.
    QTreeWidget* tree = properties->VST3();
    EXPECT_EQ(tree->headerItem()->text(0), QStringLiteral("Properties"));
    EXPECT_EQ(tree->headerItem()->text(1), QStringLiteral("Values"));
    EXPECT_EQ(Labels(tree),
              (QStringList{"Audio format", "Format", "Sample Rate", "Channels", "Bits per sample",
                           "Meta Data", "Title", "Artist", "Album", "Year", "Genre"}));
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* group = tree->topLevelItem(i);
        EXPECT_TRUE(group->isExpanded());
        EXPECT_EQ(group->background(0).color(), QColor(0x41, 0x6C, 0x99));
        EXPECT_EQ(group->foreground(0).color(), QColor(Qt::white));
        EXPECT_TRUE(group->font(0).bold());
        EXPECT_EQ(group->child(0)->background(1).color(), QColor(Qt::white));
        EXPECT_EQ(group->child(1)->background(1).color(), QColor(0xFA, 0xFA, 0xE1));
        EXPECT_EQ(group->child(2)->background(1).color(), QColor(Qt::white));
    }

    // A year of 0 shows nothing; mono 8-bit at another rate.
    properties->setnode(1);
    EXPECT_EQ(properties->windowTitle(), QStringLiteral("plain.wav"));
    EXPECT_EQ(properties->Value(QStringLiteral("Title")), QStringLiteral("Untimed"));
    EXPECT_EQ(properties->Value(QStringLiteral("Year")), QString());
    EXPECT_EQ(properties->Value(QStringLiteral("Sample Rate")), QStringLiteral("22050 Hz"));
    EXPECT_EQ(properties->Value(QStringLiteral("Channels")), QStringLiteral("1"));
    EXPECT_EQ(properties->Value(QStringLiteral("Bits per sample")), QStringLiteral("8"));

    // Showing reads the file again: a tag changed since the row was added shows.
    TagFile(tagged, {"Evening Walk", "The Walkers", "Late Hours", 1999, "Folk"});
    properties->setnode(0);
    EXPECT_EQ(properties->Value(QStringLiteral("Title")), QStringLiteral("Evening Walk"));
    EXPECT_EQ(properties->Value(QStringLiteral("Year")), QStringLiteral("1999"));

    // Type-ahead: keys close together extend the search, a pause starts a new one.
    tree->keyboardSearch(QStringLiteral("a"));
    EXPECT_EQ(tree->currentItem()->text(0), QStringLiteral("Audio format"));
    tree->keyboardSearch(QStringLiteral("r"));
    EXPECT_EQ(tree->currentItem()->text(0), QStringLiteral("Artist"));
    WaitFor([] { return false; }, 600);
    tree->keyboardSearch(QStringLiteral("g"));
    EXPECT_EQ(tree->currentItem()->text(0), QStringLiteral("Genre"));
}

TEST_F(PropertiesTest, StepButtonsFollowTheListInItsCurrentOrder) {
    Tmainform& form = MakeWindow();
    for (const char* name : {"b.wav", "a.wav", "c.wav"}) {
        MakeWav(files_ / name);
        form.addfile((files_ / name).string());
    }
    TPropertiesForm* p = form.PropertiesForm();
    struct Step {
        QPushButton* press;  // null: just look
        const char* caption;
        bool prev, next;
    };
    p->setnode(0);
    const Step walk[] = {{nullptr, "b.wav", false, true},
                         {p->nextButton(), "a.wav", true, true},
                         {p->nextButton(), "c.wav", true, false},
                         {p->prevButton(), "a.wav", true, true},
                         {p->prevButton(), "b.wav", false, true}};
    for (const Step& s : walk) {
        if (s.press) s.press->click();
        EXPECT_EQ(p->windowTitle(), QString::fromLatin1(s.caption));
        EXPECT_EQ(p->prevButton()->isEnabled(), s.prev) << s.caption;
        EXPECT_EQ(p->nextButton()->isEnabled(), s.next) << s.caption;
    }
    EXPECT_EQ(p->prevButton()->toolTip(), QStringLiteral("Previous file"));
    EXPECT_EQ(p->nextButton()->toolTip(), QStringLiteral("Next file"));
    EXPECT_EQ(p->Button1()->toolTip(), QStringLiteral("Close window"));

    // Sorted by name the shown file "b" sits between "a" and "c": the steps follow the new order.
    p->setnode(0);
    form.VSTHeaderClick(0);
    const std::vector<std::string> order = ListPaths();
    const int shown = p->CurrentRow();
    ASSERT_GE(shown, 0);
    EXPECT_EQ(order[static_cast<size_t>(shown)], (files_ / "b.wav").string());
    p->nextButton()->click();
    ASSERT_LT(shown + 1, static_cast<int>(order.size()));
    EXPECT_EQ(p->windowTitle(),
              QString::fromStdString(fs::path(order[static_cast<size_t>(shown) + 1]).filename().string()));

    // A single row: nowhere to step.
    form.Clear();
    form.addfile((files_ / "a.wav").string());
    p->setnode(0);
    EXPECT_FALSE(p->prevButton()->isEnabled());
    EXPECT_FALSE(p->nextButton()->isEnabled());
}

TEST_F(PropertiesTest, DeletedFileShowsEmptyValuesUnderItsOwnName) {
    Tmainform& form = MakeWindow();
    MakeWav(files_ / "kept.wav");
    MakeWav(files_ / "gone.wav");
    form.addfile((files_ / "kept.wav").string());
    form.addfile((files_ / "gone.wav").string());
    fs::remove(files_ / "gone.wav");
    TPropertiesForm* p = form.PropertiesForm();
    p->setnode(0);
    ASSERT_FALSE(p->Value(QStringLiteral("Format")).isEmpty());
    p->nextButton()->click();
    EXPECT_EQ(p->windowTitle(), QStringLiteral("gone.wav"));
    for (const char* label : {"Format", "Sample Rate", "Channels", "Bits per sample", "Title", "Year"})
        EXPECT_EQ(p->Value(QString::fromLatin1(label)), QString()) << label;
    EXPECT_EQ(Labels(p->VST3()).size(), 11);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(PropertiesTest, OpensModallyOnTheFirstSelectedRowFromEachCommand) {
    Tmainform& form = MakeWindow();
    for (const char* name : {"one.wav", "two.wav", "three.wav"}) {
        MakeWav(files_ / name);
        form.addfile((files_ / name).string());
    }
    TPropertiesForm* p = form.PropertiesForm();
    QString seen;
    auto closeWhenShown = [&] {
        QTimer::singleShot(0, p, [&] {
            seen = p->isVisible() && p->isModal() ? p->windowTitle() : QStringLiteral("not modal");
            p->Button1()->click();
        });
    };

    // Nothing selected: nothing opens.
    form.FileProperties1Click();
    EXPECT_FALSE(p->isVisible());

    form.List()->selectRow(2);
    form.List()->selectionModel()->select(form.Model()->index(1, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    closeWhenShown();
    form.Action(QStringLiteral("tool_properties"))->trigger();
    EXPECT_EQ(seen, QStringLiteral("two.wav"));

    seen.clear();
    closeWhenShown();
    form.Action(QStringLiteral("menu_properties"))->trigger();
    EXPECT_EQ(form.Action(QStringLiteral("menu_properties"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    EXPECT_EQ(seen, QStringLiteral("two.wav"));

    seen.clear();
    form.List()->clearSelection();
    closeWhenShown();
    const QRect cell = form.List()->visualRect(form.Model()->index(0, 1));
    // A double click is a press, a release and then the double-click press.
    QTest::mouseClick(form.List()->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(form.List()->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(seen, QStringLiteral("one.wav"));
    EXPECT_FALSE(p->isVisible());
}
