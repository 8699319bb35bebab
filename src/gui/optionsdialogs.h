// The GUI's answer to the writers' ShowOptions: each writer class is bound to the option dialog that edits
// its settings; the writer registry reaches them through the core's OptionsDialogs hook.
#pragma once

#include <map>
#include <string>

#include "encoder/maker.h"

class TEncoderForm;

class TOptionsDialogs : public OptionsDialogs {
  public:
    // Binds a writer class to its dialog; not owned. Several writers may share one dialog.
    void Register(const EncoderClass& writer, TEncoderForm* form);
    TEncoderForm* Find(const EncoderClass& writer) const;
    void Show(const EncoderClass& writer, int mode, const std::string& caption) override;

  private:
    std::map<const EncoderClass*, TEncoderForm*> forms_;
};
