// Ogg Vorbis option dialog.
#include "gui/oggencoderform.h"

#include "encoder/writer_class.h"
#include "encoder/writers.h"

TOGGEncoderForm::TOGGEncoderForm(QWidget* mainWindow)
    : TEncoderForm(mainWindow, OGGwriterClass.Facts()->dialog) {}
