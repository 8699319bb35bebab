// The Ogg Vorbis writer's option dialog: output sample rate, channel mode and output quality, kept in the
// ogg* settings. Built from the writer's option rows.
#pragma once

#include <QComboBox>
#include <QSlider>

#include "gui/encoderform.h"

class TOGGEncoderForm : public TEncoderForm {
    Q_OBJECT
  public:
    explicit TOGGEncoderForm(QWidget* mainWindow);

    QComboBox* srbox() const { return Find<QComboBox>("srbox"); }
    QComboBox* chbox() const { return Find<QComboBox>("chbox"); }
    QSlider* levelbox() const { return Find<QSlider>("levelbox"); }
};
