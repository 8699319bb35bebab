// The MP3 writer's option dialog: output sample rate, channel mode, bit rate, variable bit rate with its
// quality, and the four header flags, all kept in the mp3* settings. Built from the writer's option rows.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QSlider>

#include "gui/encoderform.h"

class TMP3EncoderForm : public TEncoderForm {
    Q_OBJECT
  public:
    explicit TMP3EncoderForm(QWidget* mainWindow);

    QComboBox* srbox() const { return Find<QComboBox>("srbox"); }
    QComboBox* chbox() const { return Find<QComboBox>("chbox"); }
    QComboBox* bitratebox() const { return Find<QComboBox>("bitratebox"); }
    QCheckBox* mp3vbr() const { return Find<QCheckBox>("mp3vbr"); }
    QSlider* vbrquality() const { return Find<QSlider>("vbrquality"); }
    QCheckBox* mp3private() const { return Find<QCheckBox>("mp3private"); }
    QCheckBox* mp3crc() const { return Find<QCheckBox>("mp3crc"); }
    QCheckBox* mp3original() const { return Find<QCheckBox>("mp3original"); }
    QCheckBox* mp3copyright() const { return Find<QCheckBox>("mp3copyright"); }
};
