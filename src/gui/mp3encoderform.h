// The MP3 writer's option dialog: output sample rate, channel mode, bit rate, variable bit rate with its
// quality, and the four header flags, all kept in the mp3* settings.
#pragma once

#include "gui/encoderform.h"

class QCheckBox;
class QComboBox;
class QSlider;

class TMP3EncoderForm : public TEncoderForm {
    Q_OBJECT
  public:
    explicit TMP3EncoderForm(QWidget* mainWindow);

    QComboBox* srbox() const { return srbox_; }
    QComboBox* chbox() const { return chbox_; }
    QComboBox* bitratebox() const { return bitratebox_; }
    QCheckBox* mp3vbr() const { return mp3vbr_; }
    QSlider* vbrquality() const { return vbrquality_; }
    QCheckBox* mp3private() const { return mp3private_; }
    QCheckBox* mp3crc() const { return mp3crc_; }
    QCheckBox* mp3original() const { return mp3original_; }
    QCheckBox* mp3copyright() const { return mp3copyright_; }

  protected:
    void LoadSettings() override;
    void StoreSettings() override;

  private:
    QComboBox* srbox_;
    QComboBox* chbox_;
    QComboBox* bitratebox_;
    QCheckBox* mp3vbr_;
    QSlider* vbrquality_;
    QCheckBox* mp3private_;
    QCheckBox* mp3crc_;
    QCheckBox* mp3original_;
    QCheckBox* mp3copyright_;
};
