// AAC option dialog.
#include "gui/aacencoderform.h"

#include "encoder/writer_class.h"
#include "encoder/writers.h"

TAACEncoderForm::TAACEncoderForm(QWidget* mainWindow)
    : TEncoderForm(mainWindow, AACwriterClass.Facts()->dialog) {}
