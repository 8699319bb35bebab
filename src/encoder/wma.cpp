// WMA writer over the Windows Media runtime substitute; listed only where that runtime is available. Its
// encoder is not built yet, so the class answers the registry's questions and fails every file cleanly with
// the missing-library error.
#include "encoder/unavailable.h"
#include "encoder/writers.h"

namespace {

constexpr UnavailableWriterFacts kFacts = {"WMAwriter", "WMA  - Microsoft Windows Media 9 Encoder",
                                           "wma",       "Windows Media Audio files (*.wma)|*.wma",
                                           true,        true};
const UnavailableEncoderClass kClass(kFacts);

}  // namespace

const EncoderClass& WMAwriterClass = kClass;
