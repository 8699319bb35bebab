// The AAC writer's option dialog: output sample rate, channel mode and bit rate, kept in the aac*
// settings. Built from the writer's option rows.
#pragma once

#include <QCheckBox>
#include <QComboBox>

#include "gui/encoderform.h"

class TAACEncoderForm : public TEncoderForm {
    Q_OBJECT
  public:
    explicit TAACEncoderForm(QWidget* mainWindow);

    QComboBox* srbox() const { return Find<QComboBox>("srbox"); }
    QComboBox* chbox() const { return Find<QComboBox>("chbox"); }
    QComboBox* bitratebox() const { return Find<QComboBox>("bitratebox"); }
};
