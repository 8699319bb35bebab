// The MP3, FLAC, Monkey's Audio, Ogg Vorbis, Opus, AAC, ALAC and WavPack option dialogs: their texts and
// lists, loading on every show, storing only on "Ok", stored values outside the lists, and reaching them from
// the main window's "Encoder options...".
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <ostream>

#include "wvt/config.h"
#include "gui/aacencoderform.h"
#include "gui/alacencoderform.h"
#include "gui/apeencoderform.h"
#include "gui/flacencoderform.h"
#include "gui/formatbox.h"
#include "gui_helpers.h"
#include "gui/mainform.h"
#include "gui/mp3encoderform.h"
#include "gui/oggencoderform.h"
#include "gui/opusencoderform.h"
#include "gui/wavencoderform.h"
#include "gui/wvencoderform.h"
#include "encoder/manager.h"
#include "encoder/writer_class.h"

namespace {

enum class Dialog { MP3, FLAC, APE, OGG, Opus, AAC, ALAC, WV };

std::unique_ptr<TEncoderForm> MakeDialog(Dialog which, QWidget* main) {
    if (which == Dialog::MP3) return std::make_unique<TMP3EncoderForm>(main);
    if (which == Dialog::APE) return std::make_unique<TAPEEncoderForm>(main);
    if (which == Dialog::OGG) return std::make_unique<TOGGEncoderForm>(main);
    if (which == Dialog::Opus) return std::make_unique<TOpusEncoderForm>(main);
    if (which == Dialog::AAC) return std::make_unique<TAACEncoderForm>(main);
    if (which == Dialog::ALAC) return std::make_unique<TALACEncoderForm>(main);
    if (which == Dialog::WV) return std::make_unique<TWVEncoderForm>(main);
    return std::make_unique<TFLACEncoderForm>(main);
}

// Shows `dialog` modally, runs `whileShown` once it is up, then presses "Ok" or "Cancel".
void RunDialog(TEncoderForm& dialog, const std::function<void()>& whileShown, bool ok) {
    QTimer::singleShot(50, [&] {
        whileShown();
        (ok ? dialog.okButton() : dialog.cancelButton())->click();
    });
    dialog.exec();
}

QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
    return items;
}

class DialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Config = config{};
        main_.resize(640, 480);
        main_.show();
    }
    void TearDown() override { Config = config{}; }
    QMainWindow main_;
};

}  // namespace

// ---- texts and lists -------------------------------------------------------------------------------------

struct TextCase {
    Dialog dialog;
    const char* child;  // object name; empty for the dialog's own caption
    const char* text;
};
void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.child;
}

class DialogTextTest : public DialogTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(DialogTextTest, CaptionIsExact) {
    const TextCase& c = GetParam();
    auto dialog = MakeDialog(c.dialog, &main_);
    QString text;
    if (*c.child == '\0') {
        text = dialog->windowTitle();
    } else if (auto* label = dialog->findChild<QLabel*>(QLatin1String(c.child))) {
        text = label->text();
    } else if (auto* box = dialog->findChild<QCheckBox*>(QLatin1String(c.child))) {
        text = box->text();
    } else {
        FAIL() << "no label or check box " << c.child;
    }
    EXPECT_EQ(text, QString::fromUtf8(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DialogTextTest,
    ::testing::Values(
        TextCase{Dialog::MP3, "", "MP3 Encoder Options"}, TextCase{Dialog::MP3, "srLabel", "Samplerate:"},
        TextCase{Dialog::MP3, "chLabel", "Mode: "}, TextCase{Dialog::MP3, "Label2", "Bitrate:"},
        TextCase{Dialog::MP3, "mp3vbr", "Enable VBR (VBR Quality:)"},
        TextCase{Dialog::MP3, "mp3private", "Private"}, TextCase{Dialog::MP3, "mp3crc", "CRC"},
        TextCase{Dialog::MP3, "mp3original", "Original"}, TextCase{Dialog::MP3, "mp3copyright", "Copyright"},
        TextCase{Dialog::FLAC, "", "FLAC Encoder Options"}, TextCase{Dialog::FLAC, "srLabel", "Samplerate:"},
        TextCase{Dialog::FLAC, "chLabel", "Mode: "}, TextCase{Dialog::FLAC, "Label6", "Compression Level:"},
        TextCase{Dialog::FLAC, "flacsubset", "Allow encoder to generate non-Subset files"},
        TextCase{Dialog::APE, "", "APE Encoder Options"}, TextCase{Dialog::APE, "srLabel", "Samplerate:"},
        TextCase{Dialog::APE, "chLabel", "Mode: "}, TextCase{Dialog::APE, "Label6", "Compression Level:"},
        TextCase{Dialog::OGG, "", "OGG Encoder Options"}, TextCase{Dialog::OGG, "srLabel", "Samplerate:"},
        TextCase{Dialog::OGG, "chLabel", "Mode: "}, TextCase{Dialog::OGG, "Label6", "Output Quality:"},
        TextCase{Dialog::Opus, "", "Opus Encoder Options"}, TextCase{Dialog::Opus, "srLabel", "Samplerate:"},
        TextCase{Dialog::Opus, "chLabel", "Mode: "}, TextCase{Dialog::Opus, "Label1", "Encoding:"},
        TextCase{Dialog::Opus, "Label2", "Bitrate:"}, TextCase{Dialog::AAC, "", "AAC Encoder Options"},
        TextCase{Dialog::AAC, "srLabel", "Samplerate:"}, TextCase{Dialog::AAC, "chLabel", "Mode: "},
        TextCase{Dialog::AAC, "Label2", "Bitrate:"}, TextCase{Dialog::ALAC, "", "ALAC Encoder Options"},
        TextCase{Dialog::ALAC, "srLabel", "Samplerate:"}, TextCase{Dialog::ALAC, "chLabel", "Mode: "},
        TextCase{Dialog::ALAC, "fastmode", "Fast Mode"},
        TextCase{Dialog::WV, "", "WavPack Encoder Options"},
        TextCase{Dialog::WV, "srLabel", "Samplerate:"}, TextCase{Dialog::WV, "chLabel", "Mode: "},
        TextCase{Dialog::WV, "Label6", "Compression Level:"}));

struct ListCase {
    Dialog dialog;
    const char* box;
    QStringList items;
};
void PrintTo(const ListCase& c, std::ostream* os) {
    *os << c.box;
}

class DialogListTest : public DialogTest, public ::testing::WithParamInterface<ListCase> {};

TEST_P(DialogListTest, ItemsAreExactAndInOrder) {
    const ListCase& c = GetParam();
    auto dialog = MakeDialog(c.dialog, &main_);
    auto* box = dialog->findChild<QComboBox*>(QLatin1String(c.box));
    ASSERT_NE(box, nullptr) << c.box;
    EXPECT_EQ(Items(box), c.items);
    EXPECT_FALSE(box->isEditable());
}

INSTANTIATE_TEST_SUITE_P(
    Lists, DialogListTest,
    ::testing::Values(
        ListCase{Dialog::MP3,
                 "srbox",
                 {"Same As Original", "48000", "44100", "32000", "24000", "22050", "16000", "12000", "11025",
                  "8000"}},
        ListCase{
            Dialog::MP3, "chbox", {"Same As Original", "Stereo", "Joint Stereo", "Dual Channel", "Mono"}},
        ListCase{Dialog::MP3,
                 "bitratebox",
                 {"320", "256", "224", "192", "160", "128", "112", "96", "80", "64", "56", "48", "40", "32",
                  "16"}},
        ListCase{Dialog::FLAC,
                 "srbox",
                 {"Same As Original", "96000", "88200", "64000", "48000", "44100", "32000", "24000", "22050",
                  "16000", "12000", "11025", "8000"}},
        ListCase{Dialog::FLAC, "chbox", {"Same As Original", "Stereo", "Mono"}},
        ListCase{Dialog::APE,
                 "srbox",
                 {"Same As Original", "96000", "88200", "64000", "48000", "44100", "32000", "24000", "22050",
                  "16000", "12000", "11025", "8000"}},
        ListCase{Dialog::APE, "chbox", {"Same As Original", "Stereo", "Mono"}},
        ListCase{Dialog::OGG,
                 "srbox",
                 {"Same As Original", "96000", "88200", "64000", "48000", "44100", "32000", "24000", "22050",
                  "16000", "12000", "11025", "8000"}},
        ListCase{Dialog::OGG, "chbox", {"Same As Original", "Stereo", "Mono"}},
        ListCase{Dialog::Opus, "srbox", {"Same As Original", "48000", "24000", "16000", "12000", "8000"}},
        ListCase{Dialog::Opus, "chbox", {"Same As Original", "Stereo", "Mono"}},
        ListCase{Dialog::Opus, "modeBox", {"Constant Bitrate", "Variable Bitrate"}},
        ListCase{Dialog::Opus,
                 "bitratebox",
                 {"510", "320", "256", "224", "192", "160", "128", "112", "96", "80", "64", "56", "48", "40",
                  "32", "24", "16", "8"}},
        ListCase{Dialog::AAC,
                 "srbox",
                 {"Same As Original", "96000", "88200", "64000", "48000", "44100", "32000", "24000", "22050",
                  "16000", "12000", "11025", "8000"}},
        ListCase{Dialog::AAC, "chbox", {"Same As Original", "Stereo", "Mono"}},
        ListCase{
            Dialog::AAC,
            "bitratebox",
            {"320", "256", "192", "160", "128", "112", "96", "80", "64", "56", "48", "44", "32", "16", "12"}},
        ListCase{Dialog::ALAC,
                 "srbox",
                 {"Same As Original", "96000", "88200", "64000", "48000", "44100", "32000", "24000", "22050",
                  "16000", "12000", "11025", "8000"}},
        ListCase{Dialog::ALAC, "chbox", {"Same As Original", "Stereo", "Mono"}},
        ListCase{Dialog::WV,
                 "srbox",
                 {"Same As Original", "96000", "88200", "64000", "48000", "44100", "32000", "24000", "22050",
                  "16000", "12000", "11025", "8000"}},
        ListCase{Dialog::WV, "chbox", {"Same As Original", "Stereo", "Mono"}}));

TEST_F(DialogTest, SlidersSpanTheirSettingsRange) {
    struct Case {
        Dialog dialog;
        const char* slider;
        int min;
        int max;
    };
    for (const Case& c : {Case{Dialog::MP3, "vbrquality", 0, 9}, Case{Dialog::FLAC, "levelbox", 0, 8},
                          Case{Dialog::APE, "levelbox", 1, 5}, Case{Dialog::OGG, "levelbox", 0, 10},
                          Case{Dialog::WV, "levelbox", 0, 2}}) {
        auto dialog = MakeDialog(c.dialog, &main_);
        auto* slider = dialog->findChild<QSlider*>(QLatin1String(c.slider));
        ASSERT_NE(slider, nullptr) << c.slider;
        EXPECT_EQ(slider->minimum(), c.min) << c.slider;
        EXPECT_EQ(slider->maximum(), c.max) << c.slider;
        EXPECT_EQ(slider->orientation(), Qt::Horizontal) << c.slider;
    }
}

// The dialogs have a fixed size, so a layout that needs more room than they give would clip controls.
TEST_F(DialogTest, EveryControlFitsTheFixedSize) {
    for (Dialog which : {Dialog::MP3, Dialog::FLAC, Dialog::APE, Dialog::OGG, Dialog::Opus, Dialog::AAC,
                         Dialog::ALAC, Dialog::WV}) {
        auto dialog = MakeDialog(which, &main_);
        dialog->show();
        QApplication::processEvents();
        const QSize needed = dialog->layout()->minimumSize();
        EXPECT_LE(needed.width(), dialog->width()) << dialog->windowTitle().toStdString();
        EXPECT_LE(needed.height(), dialog->height()) << dialog->windowTitle().toStdString();
        EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
        dialog->hide();
    }
}

// ---- loading and storing ---------------------------------------------------------------------------------

class Mp3StoreTest : public DialogTest, public ::testing::WithParamInterface<bool> {};

TEST_P(Mp3StoreTest, ShowsTheSettingsAndStoresEveryControlOnlyOnOk) {
    const bool ok = GetParam();
    Config.mp3srate = 4, Config.mp3mode = 3, Config.mp3bitrate = 11, Config.mp3vbr = true;
    Config.mp3vbrquality = 2, Config.mp3private = true, Config.mp3crc = false, Config.mp3original = true;
    Config.mp3copyright = false;
    Config.flaccompression = 1;  // another writer's setting, which must stay as it is
    const config before = Config;
    TMP3EncoderForm dialog(&main_);
    struct Shown {
        int srate, mode, bitrate;
        bool vbr;
        int quality;
        bool priv, crc, original, copyright;
    } shown{};
    RunDialog(
        dialog,
        [&] {
            shown = {dialog.srbox()->currentIndex(),      dialog.chbox()->currentIndex(),
                     dialog.bitratebox()->currentIndex(), dialog.mp3vbr()->isChecked(),
                     dialog.vbrquality()->value(),        dialog.mp3private()->isChecked(),
                     dialog.mp3crc()->isChecked(),        dialog.mp3original()->isChecked(),
                     dialog.mp3copyright()->isChecked()};
            dialog.srbox()->setCurrentIndex(9);
            dialog.chbox()->setCurrentIndex(4);
            dialog.bitratebox()->setCurrentIndex(14);
            dialog.mp3vbr()->setChecked(false);
            dialog.vbrquality()->setValue(9);
            dialog.mp3private()->setChecked(false);
            dialog.mp3crc()->setChecked(true);
            dialog.mp3original()->setChecked(false);
            dialog.mp3copyright()->setChecked(true);
        },
        ok);

    EXPECT_EQ(shown.srate, 4);
    EXPECT_EQ(shown.mode, 3);
    EXPECT_EQ(shown.bitrate, 11);
    EXPECT_TRUE(shown.vbr);
    EXPECT_EQ(shown.quality, 2);
    EXPECT_TRUE(shown.priv);
    EXPECT_FALSE(shown.crc);
    EXPECT_TRUE(shown.original);
    EXPECT_FALSE(shown.copyright);

    config expected = before;
    if (ok) {
        expected.mp3srate = 9, expected.mp3mode = 4, expected.mp3bitrate = 14, expected.mp3vbr = false;
        expected.mp3vbrquality = 9, expected.mp3private = false, expected.mp3crc = true;
        expected.mp3original = false, expected.mp3copyright = true;
    }
    EXPECT_TRUE(Config == expected);
    EXPECT_EQ(Config.mp3bitrate, expected.mp3bitrate);
    EXPECT_EQ(Config.mp3vbrquality, expected.mp3vbrquality);
}

INSTANTIATE_TEST_SUITE_P(OkAndCancel, Mp3StoreTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Ok" : "Cancel"; });

// Each of the four flag boxes shows and stores its own setting, not a neighbour's.
struct FlagCase {
    const char* box;
    bool config::*setting;
};
void PrintTo(const FlagCase& c, std::ostream* os) {
    *os << c.box;
}

class Mp3FlagTest : public DialogTest, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(Mp3FlagTest, BoxIsWiredToItsOwnSetting) {
    const FlagCase& c = GetParam();
    TMP3EncoderForm dialog(&main_);
    const std::array<QCheckBox*, 4> boxes{dialog.mp3private(), dialog.mp3crc(), dialog.mp3original(),
                                          dialog.mp3copyright()};
    Config.*c.setting = true;
    QStringList ticked;
    RunDialog(
        dialog,
        [&] {
            for (QCheckBox* box : boxes)
                if (box->isChecked()) ticked << box->objectName();
            for (QCheckBox* box : boxes) box->setChecked(box->objectName() != QLatin1String(c.box));
        },
        true);
    EXPECT_EQ(ticked, QStringList{QLatin1String(c.box)});
    config expected{};
    expected.mp3private = expected.mp3crc = expected.mp3original = expected.mp3copyright = true;
    expected.*c.setting = false;
    EXPECT_TRUE(Config == expected);
}

INSTANTIATE_TEST_SUITE_P(Flags, Mp3FlagTest,
                         ::testing::Values(FlagCase{"mp3private", &config::mp3private},
                                           FlagCase{"mp3crc", &config::mp3crc},
                                           FlagCase{"mp3original", &config::mp3original},
                                           FlagCase{"mp3copyright", &config::mp3copyright}),
                         [](const auto& info) { return std::string(info.param.box); });

class FlacStoreTest : public DialogTest, public ::testing::WithParamInterface<bool> {};

TEST_P(FlacStoreTest, ShowsTheSettingsAndStoresEveryControlOnlyOnOk) {
    const bool ok = GetParam();
    Config.flacsamplerate = 7, Config.flacmode = 1, Config.flaccompression = 2, Config.flacnonsubset = true;
    Config.flacbps = 2;        // kept but never edited by the dialog
    Config.mp3vbrquality = 0;  // another writer's setting
    const config before = Config;
    TFLACEncoderForm dialog(&main_);
    int srate = -1, mode = -1, level = -1;
    bool nonSubset = false;
    RunDialog(
        dialog,
        [&] {
            srate = dialog.srbox()->currentIndex();
            mode = dialog.chbox()->currentIndex();
            level = dialog.levelbox()->value();
            nonSubset = dialog.flacsubset()->isChecked();
            dialog.srbox()->setCurrentIndex(12);
            dialog.chbox()->setCurrentIndex(2);
            dialog.levelbox()->setValue(8);
            dialog.flacsubset()->setChecked(false);
        },
        ok);

    EXPECT_EQ(srate, 7);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(level, 2);
    EXPECT_TRUE(nonSubset);
    config expected = before;
    if (ok) {
        expected.flacsamplerate = 12, expected.flacmode = 2, expected.flaccompression = 8;
        expected.flacnonsubset = false;
    }
    EXPECT_TRUE(Config == expected);
    EXPECT_EQ(Config.flaccompression, expected.flaccompression);
}

INSTANTIATE_TEST_SUITE_P(OkAndCancel, FlacStoreTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Ok" : "Cancel"; });

// The AAC and ALAC dialogs show every setting they edit, store every control on "Ok" and nothing on
// "Cancel"; settings they do not edit (another writer's, the stored-only alacbps) stay as they are.
struct M4aStoreCase {
    Dialog dialog;
    bool ok;
};
void PrintTo(const M4aStoreCase& c, std::ostream* os) {
    *os << (c.dialog == Dialog::AAC ? "AAC" : "ALAC") << (c.ok ? " Ok" : " Cancel");
}

class M4aStoreTest : public DialogTest, public ::testing::WithParamInterface<M4aStoreCase> {};

TEST_P(M4aStoreTest, ShowsTheSettingsAndStoresEveryControlOnlyOnOk) {
    const M4aStoreCase& c = GetParam();
    Config.aacsamplerate = 3, Config.aacmode = 1, Config.aacbitrate = 9;
    Config.alacsamplerate = 6, Config.alacmode = 2, Config.alacfastmode = true, Config.alacbps = 1;
    Config.opusbitrate = 2;  // another writer's setting
    const config before = Config;
    auto dialog = MakeDialog(c.dialog, &main_);
    auto* srbox = dialog->findChild<QComboBox*>("srbox");
    auto* chbox = dialog->findChild<QComboBox*>("chbox");
    auto* bitratebox = dialog->findChild<QComboBox*>("bitratebox");
    auto* fastmode = dialog->findChild<QCheckBox*>("fastmode");
    ASSERT_TRUE(srbox && chbox);
    ASSERT_EQ(bitratebox != nullptr, c.dialog == Dialog::AAC);
    ASSERT_EQ(fastmode != nullptr, c.dialog == Dialog::ALAC);
    int srate = -1, mode = -1, bitrate = -1;
    bool fast = false;
    RunDialog(
        *dialog,
        [&] {
            srate = srbox->currentIndex();
            mode = chbox->currentIndex();
            srbox->setCurrentIndex(11);
            chbox->setCurrentIndex(0);
            if (bitratebox) {
                bitrate = bitratebox->currentIndex();
                bitratebox->setCurrentIndex(14);
            }
            if (fastmode) {
                fast = fastmode->isChecked();
                fastmode->setChecked(false);
            }
        },
        c.ok);

    config expected = before;
    if (c.dialog == Dialog::AAC) {
        EXPECT_EQ(srate, 3);
        EXPECT_EQ(mode, 1);
        EXPECT_EQ(bitrate, 9);
        if (c.ok) expected.aacsamplerate = 11, expected.aacmode = 0, expected.aacbitrate = 14;
    } else {
        EXPECT_EQ(srate, 6);
        EXPECT_EQ(mode, 2);
        EXPECT_TRUE(fast);
        if (c.ok) expected.alacsamplerate = 11, expected.alacmode = 0, expected.alacfastmode = false;
    }
    EXPECT_TRUE(Config == expected);
    EXPECT_EQ(Config.aacbitrate, expected.aacbitrate);
    EXPECT_EQ(Config.alacfastmode, expected.alacfastmode);
}

INSTANTIATE_TEST_SUITE_P(OkAndCancel, M4aStoreTest,
                         ::testing::Values(M4aStoreCase{Dialog::AAC, true}, M4aStoreCase{Dialog::AAC, false},
                                           M4aStoreCase{Dialog::ALAC, true},
                                           M4aStoreCase{Dialog::ALAC, false}),
                         [](const auto& info) {
                             return std::string(info.param.dialog == Dialog::AAC ? "AAC" : "ALAC") +
                                    (info.param.ok ? "_Ok" : "_Cancel");
                         });

// A dialog made once for the whole run must show the settings as they are now, not the edits a
// cancelled showing left in its controls, nor the values it had when it was created.
TEST_F(DialogTest, EveryShowingReloadsTheSettings) {
    TMP3EncoderForm mp3(&main_);
    TFLACEncoderForm flac(&main_);
    RunDialog(
        mp3,
        [&] {
            mp3.bitratebox()->setCurrentIndex(0);
            mp3.vbrquality()->setValue(0);
            mp3.mp3crc()->setChecked(true);
        },
        false);
    RunDialog(
        flac,
        [&] {
            flac.levelbox()->setValue(0);
            flac.chbox()->setCurrentIndex(1);
        },
        false);
    EXPECT_TRUE(Config == config{});

    Config.mp3bitrate = 8, Config.mp3vbrquality = 7, Config.mp3vbr = true;
    Config.flaccompression = 3, Config.flacsamplerate = 5;
    int bitrate = -1, quality = -1, level = -1, flacRate = -1, flacMode = -1;
    bool vbr = false, crc = true;
    RunDialog(
        mp3,
        [&] {
            bitrate = mp3.bitratebox()->currentIndex();
            quality = mp3.vbrquality()->value();
            vbr = mp3.mp3vbr()->isChecked();
            crc = mp3.mp3crc()->isChecked();
        },
        false);
    RunDialog(
        flac,
        [&] {
            level = flac.levelbox()->value();
            flacRate = flac.srbox()->currentIndex();
            flacMode = flac.chbox()->currentIndex();
        },
        false);
    EXPECT_EQ(bitrate, 8);
    EXPECT_EQ(quality, 7);
    EXPECT_TRUE(vbr);
    EXPECT_FALSE(crc);
    EXPECT_EQ(level, 3);
    EXPECT_EQ(flacRate, 5);
    EXPECT_EQ(flacMode, 0);
}

// ---- stored values outside the lists ---------------------------------------------------------------------

// A value the settings file can hold but the list cannot show appears as the item the writer uses for it,
// and "Ok" without a change stores that item.
struct OutOfRangeCase {
    const char* name;
    Dialog dialog;
    int config::*setting;
    int stored;
    int shownAndKept;
};
void PrintTo(const OutOfRangeCase& c, std::ostream* os) {
    *os << c.name;
}

class OutOfRangeTest : public DialogTest, public ::testing::WithParamInterface<OutOfRangeCase> {};

TEST_P(OutOfRangeTest, ShowsWhatTheWriterUsesAndOkKeepsIt) {
    const OutOfRangeCase& c = GetParam();
    Config.*c.setting = c.stored;
    auto dialog = MakeDialog(c.dialog, &main_);
    RunDialog(
        *dialog, [] {}, true);
    EXPECT_EQ(Config.*c.setting, c.shownAndKept);
}

INSTANTIATE_TEST_SUITE_P(
    Stored, OutOfRangeTest,
    ::testing::Values(
        OutOfRangeCase{"Mp3BitrateToDefault128", Dialog::MP3, &config::mp3bitrate, 15, 5},
        OutOfRangeCase{"Mp3NegativeBitrate", Dialog::MP3, &config::mp3bitrate, -1, 5},
        OutOfRangeCase{"Mp3RateToSameAsOriginal", Dialog::MP3, &config::mp3srate, 10, 0},
        OutOfRangeCase{"Mp3ModeToStereo", Dialog::MP3, &config::mp3mode, 5, 1},
        OutOfRangeCase{"Mp3QualityAboveTop", Dialog::MP3, &config::mp3vbrquality, 12, 9},
        OutOfRangeCase{"Mp3QualityBelowBottom", Dialog::MP3, &config::mp3vbrquality, -4, 0},
        OutOfRangeCase{"FlacRateToSameAsOriginal", Dialog::FLAC, &config::flacsamplerate, 13, 0},
        OutOfRangeCase{"FlacModeToMono", Dialog::FLAC, &config::flacmode, 3, 2},
        OutOfRangeCase{"FlacLevelAboveTop", Dialog::FLAC, &config::flaccompression, 9, 8},
        OutOfRangeCase{"FlacLevelBelowBottom", Dialog::FLAC, &config::flaccompression, -1, 0},
        OutOfRangeCase{"ApeRateToSameAsOriginal", Dialog::APE, &config::apesamplerate, 13, 0},
        OutOfRangeCase{"ApeModeToMono", Dialog::APE, &config::apemode, 3, 2},
        OutOfRangeCase{"ApeLevelAboveTop", Dialog::APE, &config::apecompression, 9, 5},
        OutOfRangeCase{"ApeLevelBelowBottom", Dialog::APE, &config::apecompression, 0, 1},
        OutOfRangeCase{"OggRateToSameAsOriginal", Dialog::OGG, &config::oggsrate, 13, 0},
        OutOfRangeCase{"OggModeToMono", Dialog::OGG, &config::oggmode, 3, 2},
        OutOfRangeCase{"OggQualityAboveTop", Dialog::OGG, &config::oggquality, 11, 10},
        OutOfRangeCase{"OggQualityBelowBottom", Dialog::OGG, &config::oggquality, -1, 0},
        OutOfRangeCase{"OpusRateToSameAsOriginal", Dialog::Opus, &config::opussamplerate, 6, 0},
        OutOfRangeCase{"OpusModeToMono", Dialog::Opus, &config::opusmode, 3, 2},
        OutOfRangeCase{"OpusBitrateTo128", Dialog::Opus, &config::opusbitrate, 18, 6},
        OutOfRangeCase{"OpusNegativeBitrate", Dialog::Opus, &config::opusbitrate, -1, 6},
        OutOfRangeCase{"AacRateToSameAsOriginal", Dialog::AAC, &config::aacsamplerate, 13, 0},
        OutOfRangeCase{"AacModeToMono", Dialog::AAC, &config::aacmode, 3, 2},
        OutOfRangeCase{"AacBitrateTo128", Dialog::AAC, &config::aacbitrate, 15, 4},
        OutOfRangeCase{"AacNegativeBitrate", Dialog::AAC, &config::aacbitrate, -1, 4},
        OutOfRangeCase{"AlacRateToSameAsOriginal", Dialog::ALAC, &config::alacsamplerate, -2, 0},
        OutOfRangeCase{"AlacModeToMono", Dialog::ALAC, &config::alacmode, 9, 2},
        OutOfRangeCase{"WvRateToSameAsOriginal", Dialog::WV, &config::wvsamplerate, -2, 0},
        OutOfRangeCase{"WvModeToMono", Dialog::WV, &config::wvmode, 9, 2},
        OutOfRangeCase{"WvLevelAboveTop", Dialog::WV, &config::wvcompression, 3, 2},
        OutOfRangeCase{"WvLevelBelowBottom", Dialog::WV, &config::wvcompression, -1, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// The WAV/AIFF dialog shows a stored mode outside its list as "Mono", as the writer uses it, and a rate or
// depth outside its list as "Same As Original"; "Ok" stores what it showed.
TEST_F(DialogTest, WavDialogShowsStoredValuesOutsideTheListsAsTheWriterUsesThem) {
    for (int mode : {1, 2}) {
        SCOPED_TRACE(mode);
        Config = config{};
        int& rate = mode == 1 ? Config.wavsrate : Config.aifsrate;
        int& channels = mode == 1 ? Config.wavmode : Config.aifmode;
        int& depth = mode == 1 ? Config.wavbps : Config.aifbps;
        rate = 13, channels = 7, depth = -1;
        TWAVEncoderForm dialog(&main_);
        dialog.Prepare(mode, QString());
        RunDialog(
            dialog, [] {}, true);
        EXPECT_EQ(rate, 0);
        EXPECT_EQ(channels, 2);
        EXPECT_EQ(depth, 0);
    }
}

// ---- dialogs built from a writer's option rows -----------------------------------------------------------

// Every writer with option rows gets a dialog with a named control per row: it shows each setting, "Ok"
// stores every control into its own setting and "Cancel" stores nothing.
TEST_F(DialogTest, EveryWritersRowsLoadAndStoreThroughItsDialog) {
    TEncManager writers;
    int dialogs = 0;
    for (size_t index = 0; index < writers.Count(); ++index) {
        const WriterFacts* facts = writers.Item(index).Facts();
        if (!facts || facts->dialog.rows.empty()) continue;
        SCOPED_TRACE(writers.Item(index).Name());
        ++dialogs;
        TEncoderForm dialog(&main_, facts->dialog);
        EXPECT_EQ(dialog.objectName(), QLatin1String(facts->dialog.object));
        EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(facts->dialog.caption));
        EXPECT_EQ(dialog.size(), QSize(facts->dialog.width, facts->dialog.height));
        for (bool ok : {false, true}) {
            // Stored: the last item of every list, one above the bottom of every slider, alternate boxes.
            Config = config{};
            config expected = Config;
            for (const OptionRow& row : facts->dialog.rows) {
                if (row.kind == RowKind::List) {
                    Config.*row.field = static_cast<int>(row.choices.size()) - 1;
                    expected.*row.field = 0;
                } else if (row.kind == RowKind::Checks) {
                    for (size_t i = 0; i < row.checks.size(); ++i) {
                        Config.*row.checks[i].field = i % 2 == 0;
                        expected.*row.checks[i].field = i % 2 != 0;
                    }
                } else {
                    Config.*row.field = row.min + 1;
                    expected.*row.field = row.max;
                    if (row.kind == RowKind::CheckSlider) {
                        Config.*row.flag = true;
                        expected.*row.flag = false;
                    }
                }
            }
            if (!ok) expected = Config;
            const config stored = Config;
            RunDialog(
                dialog,
                [&] {
                    // Shown as stored; then every control changes: first item, top of the slider, boxes
                    // flipped.
                    for (const OptionRow& row : facts->dialog.rows) {
                        SCOPED_TRACE(row.labelObject);
                        if (row.kind == RowKind::List) {
                            auto* box = dialog.findChild<QComboBox*>(QLatin1String(row.object));
                            auto* label = dialog.findChild<QLabel*>(QLatin1String(row.labelObject));
                            ASSERT_TRUE(box && label);
                            EXPECT_EQ(label->text(), QString::fromUtf8(row.label));
                            ASSERT_EQ(box->count(), static_cast<int>(row.choices.size()));
                            EXPECT_EQ(box->currentIndex(), stored.*row.field);
                            box->setCurrentIndex(0);
                        } else if (row.kind == RowKind::Checks) {
                            for (const CheckItem& item : row.checks) {
                                auto* check = dialog.findChild<QCheckBox*>(QLatin1String(item.object));
                                ASSERT_NE(check, nullptr);
                                EXPECT_EQ(check->text(), QString::fromUtf8(item.text));
                                EXPECT_EQ(check->isChecked(), stored.*item.field);
                                check->setChecked(!check->isChecked());
                            }
                        } else {
                            auto* slider = dialog.findChild<QSlider*>(QLatin1String(row.object));
                            ASSERT_NE(slider, nullptr);
                            EXPECT_EQ(slider->minimum(), row.min);
                            EXPECT_EQ(slider->maximum(), row.max);
                            EXPECT_EQ(slider->value(), stored.*row.field);
                            slider->setValue(row.max);
                            if (row.kind == RowKind::CheckSlider) {
                                auto* check = dialog.findChild<QCheckBox*>(QLatin1String(row.labelObject));
                                ASSERT_NE(check, nullptr);
                                EXPECT_EQ(check->text(), QString::fromUtf8(row.label));
                                EXPECT_TRUE(check->isChecked());
                                check->setChecked(false);
                            }
                        }
                    }
                },
                ok);
            EXPECT_TRUE(Config == expected) << (ok ? "Ok" : "Cancel");
        }
    }
    EXPECT_GE(dialogs, 4);  // MP3, WAV, FLAC and AIFF at least
}

// ---- from the main window --------------------------------------------------------------------------------

class EncoderOptionsTest : public GuiTest {};

TEST_F(EncoderOptionsTest, EncoderOptionsOpensTheWritersOwnDialog) {
    SeedSettings(
        {{"mp3bitrate", "9"}, {"flaccompression", "8"}, {"apecompression", "5"}, {"wvcompression", "0"}});
    Tmainform& form = MakeWindow();
    struct Case {
        const char* shortName;
        const char* caption;
    };
    for (const Case& c : {Case{"MP3", "MP3 Encoder Options"}, Case{"FLAC", "FLAC Encoder Options"},
                          Case{"APE", "APE Encoder Options"}, Case{"WV", "WavPack Encoder Options"}}) {
        SCOPED_TRACE(c.shortName);
        const int index = CodecIndex(form, QString::fromLatin1(c.shortName));
        ASSERT_GE(index, 0);
        form.FormatBox()->setCurrentIndex(index);
        ASSERT_TRUE(form.EncoderOptionsButton()->isEnabled());
        QString caption;
        int shown = -1;
        bool opened = false;
        QTimer::singleShot(50, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* mp3 = qobject_cast<TMP3EncoderForm*>(modal)) {
                opened = true;
                caption = mp3->windowTitle();
                shown = mp3->bitratebox()->currentIndex();
                mp3->bitratebox()->setCurrentIndex(2);
                mp3->okButton()->click();
            } else if (auto* flac = qobject_cast<TFLACEncoderForm*>(modal)) {
                opened = true;
                caption = flac->windowTitle();
                shown = flac->levelbox()->value();
                flac->levelbox()->setValue(4);
                flac->okButton()->click();
            } else if (auto* ape = qobject_cast<TAPEEncoderForm*>(modal)) {
                opened = true;
                caption = ape->windowTitle();
                shown = ape->levelbox()->value();
                ape->levelbox()->setValue(3);
                ape->okButton()->click();
            } else if (auto* wv = qobject_cast<TWVEncoderForm*>(modal)) {
                opened = true;
                caption = wv->windowTitle();
                shown = wv->levelbox()->value();
                wv->levelbox()->setValue(2);
                wv->okButton()->click();
            } else if (auto* other = qobject_cast<QDialog*>(modal)) {
                other->reject();
            }
        });
        QTest::mouseClick(form.EncoderOptionsButton(), Qt::LeftButton);
        ASSERT_TRUE(opened);
        EXPECT_EQ(caption, QString::fromLatin1(c.caption));
        const QLatin1String name(c.shortName);
        const int stored = name == QLatin1String("MP3")    ? 9
                           : name == QLatin1String("FLAC") ? 8
                           : name == QLatin1String("APE")  ? 5
                                                           : 0;
        EXPECT_EQ(shown, stored);
    }
    EXPECT_EQ(Config.mp3bitrate, 2);
    EXPECT_EQ(Config.flaccompression, 4);
    EXPECT_EQ(Config.apecompression, 3);
    EXPECT_EQ(Config.wvcompression, 2);
}
