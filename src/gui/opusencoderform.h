// The Opus writer's option dialog: output sample rate, channel mode, constant or variable bit rate and the
// bit rate, kept in the opus* settings. Built from the writer's option rows.
#pragma once

#include <QComboBox>

#include "gui/encoderform.h"

class TOpusEncoderForm : public TEncoderForm {
    Q_OBJECT
  public:
    explicit TOpusEncoderForm(QWidget* mainWindow);

    QComboBox* srbox() const { return Find<QComboBox>("srbox"); }
    QComboBox* chbox() const { return Find<QComboBox>("chbox"); }
    QComboBox* modeBox() const { return Find<QComboBox>("modeBox"); }
    QComboBox* bitratebox() const { return Find<QComboBox>("bitratebox"); }
};
