// The option dialog the WAV and AIFF writers share: sample rate, mode and bits per sample, kept in the
// WAV settings (mode 1) or the AIFF settings (mode 2).
#pragma once

#include "gui/encoderform.h"

class QComboBox;
class QLabel;

class TWAVEncoderForm : public TEncoderForm {
    Q_OBJECT
  public:
    explicit TWAVEncoderForm(QWidget* mainWindow);

    void Prepare(int mode, const QString& caption) override;
    int Mode() const { return mode_; }

    QComboBox* srbox() const { return srbox_; }
    QComboBox* chbox() const { return chbox_; }
    QComboBox* bpsbox() const { return bpsbox_; }

  protected:
    void LoadSettings() override;
    void StoreSettings() override;

  private:
    int mode_ = 1;
    QComboBox* srbox_;
    QComboBox* chbox_;
    QComboBox* bpsbox_;
};
