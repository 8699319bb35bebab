// The FLAC writer's option dialog: output sample rate, channel mode, compression level and whether the
// encoder may leave the streamable subset, kept in the flac* settings. Built from the writer's option rows.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QSlider>

#include "gui/encoderform.h"

class TFLACEncoderForm : public TEncoderForm {
    Q_OBJECT
  public:
    explicit TFLACEncoderForm(QWidget* mainWindow);

    QComboBox* srbox() const { return Find<QComboBox>("srbox"); }
    QComboBox* chbox() const { return Find<QComboBox>("chbox"); }
    QSlider* levelbox() const { return Find<QSlider>("levelbox"); }
    QCheckBox* flacsubset() const { return Find<QCheckBox>("flacsubset"); }
};
