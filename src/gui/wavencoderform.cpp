// WAV/AIFF option dialog.
#include "gui/wavencoderform.h"

#include "encoder/writer_class.h"
#include "encoder/writers.h"

TWAVEncoderForm::TWAVEncoderForm(QWidget* mainWindow)
    : TEncoderForm(mainWindow, WAVwriterClass.Facts()->dialog) {}

void TWAVEncoderForm::Prepare(int mode, const QString& caption) {
    mode_ = mode == 2 ? 2 : 1;
    BindRows((mode_ == 2 ? AIFwriterClass : WAVwriterClass).Facts()->dialog.rows);
    TEncoderForm::Prepare(mode, caption);
}
