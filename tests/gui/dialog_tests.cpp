// The dialogs on their own: the WAV/AIFF options in both modes, the option dialog base's size and
// placement, the overwrite question that only its buttons can end, and the filter conversion.
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "wvt/config.h"
#include "gui/encoderform.h"
#include "gui_helpers.h"
#include "gui/messages.h"
#include "gui/overwritedialog.h"
#include "gui/wavencoderform.h"

struct WavDialogCase {
    int mode;
    bool ok;
};

class WavDialogTest : public ::testing::TestWithParam<WavDialogCase> {};

TEST_P(WavDialogTest, LoadsOnShowAndStoresOnlyOnOk) {
    const WavDialogCase& c = GetParam();
    Config = config{};
    Config.wavsrate = 3, Config.wavmode = 1, Config.wavbps = 4;
    Config.aifsrate = 5, Config.aifmode = 2, Config.aifbps = 1;
    const config before = Config;
    QMainWindow main;
    main.resize(600, 400);
    main.show();
    TWAVEncoderForm dialog(&main);
    dialog.Prepare(
        c.mode, c.mode == 1 ? QStringLiteral("WAV Encoder Options") : QStringLiteral("AIFF Encoder Options"));

    std::array<int, 3> shown{};
    QTimer::singleShot(50, [&] {
        shown = {dialog.srbox()->currentIndex(), dialog.chbox()->currentIndex(),
                 dialog.bpsbox()->currentIndex()};
        dialog.srbox()->setCurrentIndex(12);
        dialog.chbox()->setCurrentIndex(2);
        dialog.bpsbox()->setCurrentIndex(5);
        (c.ok ? dialog.okButton() : dialog.cancelButton())->click();
    });
    dialog.exec();

    const std::array<int, 3> expectShown =
        c.mode == 1 ? std::array<int, 3>{3, 1, 4} : std::array<int, 3>{5, 2, 1};
    EXPECT_EQ(shown, expectShown);
    config expected = before;
    if (c.ok) {
        (c.mode == 1 ? expected.wavsrate : expected.aifsrate) = 12;
        (c.mode == 1 ? expected.wavmode : expected.aifmode) = 2;
        (c.mode == 1 ? expected.wavbps : expected.aifbps) = 5;
    }
    EXPECT_TRUE(Config == expected);
    EXPECT_EQ(dialog.srbox()->count(), 13);
    EXPECT_EQ(dialog.srbox()->itemText(1), QStringLiteral("96000"));
    EXPECT_EQ(dialog.bpsbox()->itemText(5), QStringLiteral("32 bit IEEE float"));
    EXPECT_EQ(dialog.chbox()->itemText(2), QStringLiteral("Mono"));
}

INSTANTIATE_TEST_SUITE_P(Modes, WavDialogTest,
                         ::testing::Values(WavDialogCase{1, true}, WavDialogCase{1, false},
                                           WavDialogCase{2, true}, WavDialogCase{2, false}));

TEST(EncoderFormTest, FixedSizeAndCentredOnTheMainWindow) {
    QMainWindow main;
    main.setGeometry(101, 77, 801, 503);
    main.show();
    TEncoderForm form(&main);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Encoder options"));
    EXPECT_EQ(form.size(), QSize(362, 125));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    QPoint at;
    QTimer::singleShot(50, [&] {
        at = form.frameGeometry().topLeft();
        form.cancelButton()->click();
    });
    EXPECT_EQ(form.exec(), QDialog::Rejected);
    const QRect m = main.frameGeometry();
    const QRect f = form.frameGeometry();
    EXPECT_EQ(at, QPoint(m.left() + (m.width() - f.width()) / 2, m.top() + (m.height() - f.height()) / 2));
}

TEST(OverwriteDialogTest, OnlyTheButtonsEndTheQuestion) {
    QMainWindow main;
    main.show();
    TOverwriteDialog dialog(&main);
    struct Case {
        QPushButton* button;
        int result;
        bool tick;
    };
    for (const Case& c : {Case{dialog.YesButton(), 106, true}, Case{dialog.NoButton(), 107, false},
                          Case{dialog.NewNameButton(), 102, true}}) {
        bool stillShown = false;
        QTimer::singleShot(50, [&] {
            QTest::keyClick(&dialog, Qt::Key_Escape);
            dialog.close();
            stillShown = dialog.isVisible();
            dialog.ApplyToAll()->setChecked(c.tick);
            c.button->click();
        });
        bool applyToAll = !c.tick;
        EXPECT_EQ(dialog.Ask(QStringLiteral("/music/out.wav"), applyToAll), c.result);
        EXPECT_TRUE(stillShown);
        EXPECT_EQ(applyToAll, c.tick);
    }
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Output file already exists"));
    EXPECT_EQ(dialog.ApplyToAll()->text(), QStringLiteral("Apply action to the all files"));
}

TEST(FilterTest, RegistryFiltersBecomeQtFilters) {
    EXPECT_EQ(QtFilter(QStringLiteral("All Supported Formats|*.wav;*.mp3;|WAV Audio (*.wav)|*.wav")),
              QStringLiteral("All Supported Formats (*.wav *.mp3);;WAV Audio (*.wav)"));
    EXPECT_EQ(QtFilter(QStringLiteral("GSM Audio (*.gsm)|*.gsm")), QStringLiteral("GSM Audio (*.gsm)"));
    EXPECT_EQ(QtFilter(QString()), QString());
}
