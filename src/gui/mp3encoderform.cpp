// MP3 option dialog.
#include "gui/mp3encoderform.h"

#include "encoder/writer_class.h"
#include "encoder/writers.h"

TMP3EncoderForm::TMP3EncoderForm(QWidget* mainWindow)
    : TEncoderForm(mainWindow, MP3writerClass.Facts()->dialog) {}
