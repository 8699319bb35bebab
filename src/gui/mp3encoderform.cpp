// MP3 option dialog.
#include "gui/mp3encoderform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>

#include "wvt/config.h"

namespace {
// The bit-rate index the writer falls back to for a stored index outside its table (128 kbit/s).
constexpr int kDefaultBitrate = 5;

// A stored index outside the list shows the item the writer uses for it, so "Ok" keeps that meaning.
void SetIndex(QComboBox* box, int index, int fallback) {
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : fallback);
}

QLabel* Label(const char* name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

template <typename T>
T* Named(T* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}
}  // namespace

TMP3EncoderForm::TMP3EncoderForm(QWidget* mainWindow)
    : TEncoderForm(mainWindow),
      srbox_(Named(new QComboBox(Body()), "srbox")),
      chbox_(Named(new QComboBox(Body()), "chbox")),
      bitratebox_(Named(new QComboBox(Body()), "bitratebox")),
      mp3vbr_(Named(new QCheckBox(QStringLiteral("Enable VBR (VBR Quality:)"), Body()), "mp3vbr")),
      vbrquality_(Named(new QSlider(Qt::Horizontal, Body()), "vbrquality")),
      mp3private_(Named(new QCheckBox(QStringLiteral("Private"), Body()), "mp3private")),
      mp3crc_(Named(new QCheckBox(QStringLiteral("CRC"), Body()), "mp3crc")),
      mp3original_(Named(new QCheckBox(QStringLiteral("Original"), Body()), "mp3original")),
      mp3copyright_(Named(new QCheckBox(QStringLiteral("Copyright"), Body()), "mp3copyright")) {
    setObjectName(QStringLiteral("mp3EncoderForm"));
    setWindowTitle(QStringLiteral("MP3 Encoder Options"));
    srbox_->addItems({QStringLiteral("Same As Original"), QStringLiteral("48000"), QStringLiteral("44100"),
                      QStringLiteral("32000"), QStringLiteral("24000"), QStringLiteral("22050"),
                      QStringLiteral("16000"), QStringLiteral("12000"), QStringLiteral("11025"),
                      QStringLiteral("8000")});
    chbox_->addItems({QStringLiteral("Same As Original"), QStringLiteral("Stereo"),
                      QStringLiteral("Joint Stereo"), QStringLiteral("Dual Channel"),
                      QStringLiteral("Mono")});
    bitratebox_->addItems({QStringLiteral("320"), QStringLiteral("256"), QStringLiteral("224"),
                           QStringLiteral("192"), QStringLiteral("160"), QStringLiteral("128"),
                           QStringLiteral("112"), QStringLiteral("96"), QStringLiteral("80"),
                           QStringLiteral("64"), QStringLiteral("56"), QStringLiteral("48"),
                           QStringLiteral("40"), QStringLiteral("32"), QStringLiteral("16")});
    vbrquality_->setRange(0, 9);
    vbrquality_->setPageStep(1);
    vbrquality_->setTickPosition(QSlider::TicksBelow);
    vbrquality_->setTickInterval(1);

    auto* grid = new QGridLayout(Body());
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(2);
    grid->addWidget(Label("srLabel", QStringLiteral("Samplerate:"), Body()), 0, 0);
    grid->addWidget(srbox_, 0, 1);
    grid->addWidget(Label("chLabel", QStringLiteral("Mode: "), Body()), 1, 0);
    grid->addWidget(chbox_, 1, 1);
    grid->addWidget(Label("Label2", QStringLiteral("Bitrate:"), Body()), 2, 0);
    grid->addWidget(bitratebox_, 2, 1);
    grid->addWidget(mp3vbr_, 3, 0);
    grid->addWidget(vbrquality_, 3, 1);
    auto* flags = new QHBoxLayout;
    flags->addWidget(mp3private_);
    flags->addWidget(mp3crc_);
    flags->addWidget(mp3original_);
    flags->addWidget(mp3copyright_);
    flags->addStretch();
    grid->addLayout(flags, 4, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    SetClientSize(362, 215);
}

void TMP3EncoderForm::LoadSettings() {
    SetIndex(srbox_, Config.mp3srate, 0);  // the writer picks the nearest rate
    SetIndex(chbox_, Config.mp3mode, 1);   // the writer makes anything but 0 and 4 stereo
    SetIndex(bitratebox_, Config.mp3bitrate, kDefaultBitrate);
    mp3vbr_->setChecked(Config.mp3vbr);
    vbrquality_->setValue(Config.mp3vbrquality);  // the slider clamps a stored value outside 0 to 9
    mp3private_->setChecked(Config.mp3private);
    mp3crc_->setChecked(Config.mp3crc);
    mp3original_->setChecked(Config.mp3original);
    mp3copyright_->setChecked(Config.mp3copyright);
}

void TMP3EncoderForm::StoreSettings() {
    Config.mp3srate = srbox_->currentIndex();
    Config.mp3mode = chbox_->currentIndex();
    Config.mp3bitrate = bitratebox_->currentIndex();
    Config.mp3vbr = mp3vbr_->isChecked();
    Config.mp3vbrquality = vbrquality_->value();
    Config.mp3private = mp3private_->isChecked();
    Config.mp3crc = mp3crc_->isChecked();
    Config.mp3original = mp3original_->isChecked();
    Config.mp3copyright = mp3copyright_->isChecked();
}
