// ALAC option dialog.
#include "gui/alacencoderform.h"

#include "encoder/writer_class.h"
#include "encoder/writers.h"

TALACEncoderForm::TALACEncoderForm(QWidget* mainWindow)
    : TEncoderForm(mainWindow, ALACwriterClass.Facts()->dialog) {}
