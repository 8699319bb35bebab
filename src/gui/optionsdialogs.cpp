// Binding of writer classes to their option dialogs.
#include "gui/optionsdialogs.h"

#include "gui/encoderform.h"

void TOptionsDialogs::Register(const EncoderClass& writer, TEncoderForm* form) {
    forms_[&writer] = form;
}

TEncoderForm* TOptionsDialogs::Find(const EncoderClass& writer) const {
    auto it = forms_.find(&writer);
    return it == forms_.end() ? nullptr : it->second;
}

void TOptionsDialogs::Show(const EncoderClass& writer, int mode, const std::string& caption) {
    TEncoderForm* form = Find(writer);
    if (!form) return;
    form->Prepare(mode, QString::fromStdString(caption));
    form->exec();  // the dialog stores its settings itself on "Ok"; the result is not needed
}
