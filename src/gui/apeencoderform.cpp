// Monkey's Audio option dialog.
#include "gui/apeencoderform.h"

#include "encoder/writer_class.h"
#include "encoder/writers.h"

TAPEEncoderForm::TAPEEncoderForm(QWidget* mainWindow)
    : TEncoderForm(mainWindow, APEwriterClass.Facts()->dialog) {}
