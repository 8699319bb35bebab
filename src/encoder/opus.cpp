// Opus writer over libopusenc. Its encoder is not built yet, so the class answers the registry's questions
// and fails every file cleanly with the missing-library error.
#include "encoder/unavailable.h"
#include "encoder/writers.h"

namespace {

constexpr UnavailableWriterFacts kFacts = {
    "Opuswriter", "OPUS - Ogg Opus Encoder", "opus", "Ogg Opus files (*.opus)|*.opus", true, true};
const UnavailableEncoderClass kClass(kFacts);

}  // namespace

const EncoderClass& OpuswriterClass = kClass;
