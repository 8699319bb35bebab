// Opus option dialog.
#include "gui/opusencoderform.h"

#include "encoder/writer_class.h"
#include "encoder/writers.h"

TOpusEncoderForm::TOpusEncoderForm(QWidget* mainWindow)
    : TEncoderForm(mainWindow, OpuswriterClass.Facts()->dialog) {}
