// WavPack option dialog.
#include "gui/wvencoderform.h"

#include "encoder/writer_class.h"
#include "encoder/writers.h"

TWVEncoderForm::TWVEncoderForm(QWidget* mainWindow)
    : TEncoderForm(mainWindow, WVwriterClass.Facts()->dialog) {}
