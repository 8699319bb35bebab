// The option dialog the WAV and AIFF writers share: sample rate, mode and bits per sample, kept in the
// WAV settings (mode 1) or the AIFF settings (mode 2). Built from the WAV writer's option rows and bound
// to the AIFF writer's rows in mode 2.
#pragma once

#include <QComboBox>

#include "gui/encoderform.h"

class TWAVEncoderForm : public TEncoderForm {
    Q_OBJECT
  public:
    explicit TWAVEncoderForm(QWidget* mainWindow);

    void Prepare(int mode, const QString& caption) override;
    int Mode() const { return mode_; }

    QComboBox* srbox() const { return Find<QComboBox>("srbox"); }
    QComboBox* chbox() const { return Find<QComboBox>("chbox"); }
    QComboBox* bpsbox() const { return Find<QComboBox>("bpsbox"); }

  private:
    int mode_ = 1;
};
