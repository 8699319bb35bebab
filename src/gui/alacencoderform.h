// The ALAC writer's option dialog: output sample rate, channel mode and fast mode, kept in the alac*
// settings. Built from the writer's option rows.
#pragma once

#include <QCheckBox>
#include <QComboBox>

#include "gui/encoderform.h"

class TALACEncoderForm : public TEncoderForm {
    Q_OBJECT
  public:
    explicit TALACEncoderForm(QWidget* mainWindow);

    QComboBox* srbox() const { return Find<QComboBox>("srbox"); }
    QComboBox* chbox() const { return Find<QComboBox>("chbox"); }
    QCheckBox* fastmode() const { return Find<QCheckBox>("fastmode"); }
};
