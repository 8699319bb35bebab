// WavPack writer. Its encoder is not built yet, so the class answers the registry's questions and fails
// every file cleanly with the missing-library error.
#include "encoder/unavailable.h"
#include "encoder/writers.h"

namespace {

constexpr UnavailableWriterFacts kFacts = {
    "WVwriter", "WV   - WavPack Lossless Encoder", "wv", "WV files (*.wv)|*.wv", true, true};
const UnavailableEncoderClass kClass(kFacts);

}  // namespace

const EncoderClass& WVwriterClass = kClass;
