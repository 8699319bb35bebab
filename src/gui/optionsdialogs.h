// The GUI's answer to the writers' ShowOptions: each writer class name is bound to the option dialog
// that edits its settings; the writer registry reaches them through the core's OptionsDialogs hook.
#pragma once

#include <map>
#include <string>

#include "encoder/maker.h"

class TEncoderForm;

class TOptionsDialogs : public OptionsDialogs {
  public:
    // Binds a writer class (EncoderClass::Name(), e.g. "WAVwriter") to its dialog; not owned.
    void Register(const std::string& writerName, TEncoderForm* form);
    TEncoderForm* Find(const std::string& writerName) const;
    void Show(const EncoderClass& writer, int mode, const std::string& caption) override;

  private:
    std::map<std::string, TEncoderForm*> forms_;
};
