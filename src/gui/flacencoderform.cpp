// FLAC option dialog.
#include "gui/flacencoderform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>

#include "wvt/config.h"

namespace {
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

TFLACEncoderForm::TFLACEncoderForm(QWidget* mainWindow)
    : TEncoderForm(mainWindow),
      srbox_(Named(new QComboBox(Body()), "srbox")),
      chbox_(Named(new QComboBox(Body()), "chbox")),
      levelbox_(Named(new QSlider(Qt::Horizontal, Body()), "levelbox")),
      flacsubset_(Named(new QCheckBox(QStringLiteral("Allow encoder to generate non-Subset files"), Body()),
                        "flacsubset")) {
    setObjectName(QStringLiteral("flacEncoderForm"));
    setWindowTitle(QStringLiteral("FLAC Encoder Options"));
    srbox_->addItems({QStringLiteral("Same As Original"), QStringLiteral("96000"), QStringLiteral("88200"),
                      QStringLiteral("64000"), QStringLiteral("48000"), QStringLiteral("44100"),
                      QStringLiteral("32000"), QStringLiteral("24000"), QStringLiteral("22050"),
                      QStringLiteral("16000"), QStringLiteral("12000"), QStringLiteral("11025"),
                      QStringLiteral("8000")});
    chbox_->addItems({QStringLiteral("Same As Original"), QStringLiteral("Stereo"), QStringLiteral("Mono")});
    levelbox_->setRange(0, 8);
    levelbox_->setPageStep(1);
    levelbox_->setTickPosition(QSlider::TicksBelow);
    levelbox_->setTickInterval(1);

    auto* grid = new QGridLayout(Body());
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(2);
    grid->addWidget(Label("srLabel", QStringLiteral("Samplerate:"), Body()), 0, 0);
    grid->addWidget(srbox_, 0, 1);
    grid->addWidget(Label("chLabel", QStringLiteral("Mode: "), Body()), 1, 0);
    grid->addWidget(chbox_, 1, 1);
    grid->addWidget(Label("Label6", QStringLiteral("Compression Level:"), Body()), 2, 0);
    grid->addWidget(levelbox_, 2, 1);
    grid->addWidget(flacsubset_, 3, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    SetClientSize(362, 185);
}

void TFLACEncoderForm::LoadSettings() {
    SetIndex(srbox_, Config.flacsamplerate, 0);   // the writer keeps the source rate
    SetIndex(chbox_, Config.flacmode, 2);         // the writer makes anything but 0 and 1 mono
    levelbox_->setValue(Config.flaccompression);  // the slider clamps a stored level outside 0 to 8
    flacsubset_->setChecked(Config.flacnonsubset);
}

void TFLACEncoderForm::StoreSettings() {
    Config.flacsamplerate = srbox_->currentIndex();
    Config.flacmode = chbox_->currentIndex();
    Config.flaccompression = levelbox_->value();
    Config.flacnonsubset = flacsubset_->isChecked();
}
