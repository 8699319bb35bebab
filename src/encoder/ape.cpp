// Monkey's Audio writer. Its encoder is not built yet, so the class answers the registry's questions and
// fails every file cleanly with the missing-library error.
#include "encoder/unavailable.h"
#include "encoder/writers.h"

namespace {

constexpr UnavailableWriterFacts kFacts = {
    "APEwriter", "APE  - Monkey's Audio Encoder", "ape", "Monkey Audio files (*.ape)|*.ape", true, true};
const UnavailableEncoderClass kClass(kFacts);

}  // namespace

const EncoderClass& APEwriterClass = kClass;
