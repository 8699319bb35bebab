// FLAC writer over libFLAC. Its encoder is not built yet, so the class answers the registry's questions and
// fails every file cleanly with the missing-library error.
#include "unavailable.h"
#include "writers.h"

namespace {

constexpr UnavailableWriterFacts kFacts = {
    "FLACwriter", "FLAC - Free Lossless Audio Codec", "flac", "FLAC files (*.flac)|*.flac", true, true};
const UnavailableEncoderClass kClass(kFacts);

}  // namespace

const EncoderClass& FLACwriterClass = kClass;
