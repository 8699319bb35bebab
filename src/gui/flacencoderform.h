// The FLAC writer's option dialog: output sample rate, channel mode, compression level and whether the
// encoder may leave the streamable subset, kept in the flac* settings.
#pragma once

#include "gui/encoderform.h"

class QCheckBox;
class QComboBox;
class QSlider;

class TFLACEncoderForm : public TEncoderForm {
    Q_OBJECT
  public:
    explicit TFLACEncoderForm(QWidget* mainWindow);

    QComboBox* srbox() const { return srbox_; }
    QComboBox* chbox() const { return chbox_; }
    QSlider* levelbox() const { return levelbox_; }
    QCheckBox* flacsubset() const { return flacsubset_; }

  protected:
    void LoadSettings() override;
    void StoreSettings() override;

  private:
    QComboBox* srbox_;
    QComboBox* chbox_;
    QSlider* levelbox_;
    QCheckBox* flacsubset_;
};
