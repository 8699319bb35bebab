// Binding of writer classes to their option dialogs.
#include "gui/optionsdialogs.h"

#include "gui/encoderform.h"

void TOptionsDialogs::Register(const std::string& writerName, TEncoderForm* form) {
    forms_[writerName] = form;
}

TEncoderForm* TOptionsDialogs::Find(const std::string& writerName) const {
    auto it = forms_.find(writerName);
    return it == forms_.end() ? nullptr : it->second;
}

void TOptionsDialogs::Show(const EncoderClass& writer, int mode, const std::string& caption) {
    TEncoderForm* form = Find(writer.Name());
    if (!form) return;
    form->Prepare(mode, QString::fromStdString(caption));
    form->exec();  // the dialog stores its settings itself on "Ok"; the result is not needed
}
