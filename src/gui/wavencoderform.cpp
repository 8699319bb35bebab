// WAV/AIFF option dialog.
#include "gui/wavencoderform.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

#include "wvt/config.h"

namespace {
void SetIndex(QComboBox* box, int index) {
    // A stored index outside the list shows as the first item rather than as an empty box.
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : 0);
}
}  // namespace

TWAVEncoderForm::TWAVEncoderForm(QWidget* mainWindow)
    : TEncoderForm(mainWindow),
      srbox_(new QComboBox(Body())),
      chbox_(new QComboBox(Body())),
      bpsbox_(new QComboBox(Body())) {
    setObjectName(QStringLiteral("wavEncoderForm"));
    setWindowTitle(QStringLiteral("WAV Encoder Options"));
    srbox_->addItems({QStringLiteral("Same As Original"), QStringLiteral("96000"), QStringLiteral("88200"),
                      QStringLiteral("64000"), QStringLiteral("48000"), QStringLiteral("44100"),
                      QStringLiteral("32000"), QStringLiteral("24000"), QStringLiteral("22050"),
                      QStringLiteral("16000"), QStringLiteral("12000"), QStringLiteral("11025"),
                      QStringLiteral("8000")});
    chbox_->addItems({QStringLiteral("Same As Original"), QStringLiteral("Stereo"), QStringLiteral("Mono")});
    bpsbox_->addItems({QStringLiteral("Same As Original"), QStringLiteral("8 bit Integer"),
                       QStringLiteral("16 bit integer"), QStringLiteral("24 bit integer"),
                       QStringLiteral("32 bit integer"), QStringLiteral("32 bit IEEE float")});
    auto* srLabel = new QLabel(QStringLiteral("Samplerate:"), Body());
    auto* chLabel = new QLabel(QStringLiteral("Mode: "), Body());
    auto* label9 = new QLabel(QStringLiteral("Bits Per Sample:"), Body());
    auto* grid = new QGridLayout(Body());
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(2);
    grid->addWidget(srLabel, 0, 0);
    grid->addWidget(srbox_, 0, 1);
    grid->addWidget(chLabel, 1, 0);
    grid->addWidget(chbox_, 1, 1);
    grid->addWidget(label9, 2, 0);
    grid->addWidget(bpsbox_, 2, 1);
    grid->setColumnStretch(1, 1);
}

void TWAVEncoderForm::Prepare(int mode, const QString& caption) {
    mode_ = mode == 2 ? 2 : 1;
    TEncoderForm::Prepare(mode, caption);
}

void TWAVEncoderForm::LoadSettings() {
    if (mode_ == 2) {
        SetIndex(srbox_, Config.aifsrate);
        SetIndex(chbox_, Config.aifmode);
        SetIndex(bpsbox_, Config.aifbps);
    } else {
        SetIndex(srbox_, Config.wavsrate);
        SetIndex(chbox_, Config.wavmode);
        SetIndex(bpsbox_, Config.wavbps);
    }
}

void TWAVEncoderForm::StoreSettings() {
    int& srate = mode_ == 2 ? Config.aifsrate : Config.wavsrate;
    int& mode = mode_ == 2 ? Config.aifmode : Config.wavmode;
    int& bps = mode_ == 2 ? Config.aifbps : Config.wavbps;
    srate = srbox_->currentIndex();
    mode = chbox_->currentIndex();
    bps = bpsbox_->currentIndex();
}
