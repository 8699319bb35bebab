// FLAC option dialog.
#include "gui/flacencoderform.h"

#include "encoder/writer_class.h"
#include "encoder/writers.h"

TFLACEncoderForm::TFLACEncoderForm(QWidget* mainWindow)
    : TEncoderForm(mainWindow, FLACwriterClass.Facts()->dialog) {}
