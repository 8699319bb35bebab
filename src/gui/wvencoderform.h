// The WavPack writer's option dialog: output sample rate, channel mode and compression level (fast, high,
// very high), kept in the wv* settings. Built from the writer's option rows.
#pragma once

#include <QComboBox>
#include <QSlider>

#include "gui/encoderform.h"

class TWVEncoderForm : public TEncoderForm {
    Q_OBJECT
  public:
    explicit TWVEncoderForm(QWidget* mainWindow);

    QComboBox* srbox() const { return Find<QComboBox>("srbox"); }
    QComboBox* chbox() const { return Find<QComboBox>("chbox"); }
    QSlider* levelbox() const { return Find<QSlider>("levelbox"); }
};
