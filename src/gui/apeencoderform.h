// The Monkey's Audio writer's option dialog: output sample rate, channel mode and compression level, kept
// in the ape* settings. Built from the writer's option rows.
#pragma once

#include <QComboBox>
#include <QSlider>

#include "gui/encoderform.h"

class TAPEEncoderForm : public TEncoderForm {
    Q_OBJECT
  public:
    explicit TAPEEncoderForm(QWidget* mainWindow);

    QComboBox* srbox() const { return Find<QComboBox>("srbox"); }
    QComboBox* chbox() const { return Find<QComboBox>("chbox"); }
    QSlider* levelbox() const { return Find<QSlider>("levelbox"); }
};
