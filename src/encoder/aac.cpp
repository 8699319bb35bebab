// AAC writer in MP4 over fdk-aac. Its encoder is not built yet, so the class answers the registry's questions
// and fails every file cleanly with the missing-library error.
#include "encoder/unavailable.h"
#include "encoder/writers.h"

namespace {

constexpr UnavailableWriterFacts kFacts = {
    "AACwriter", "AAC  - MPEG4 Advanced Audio Coding", "m4a", "MPEG4 AAC Audio (*.m4a)|*.m4a", true, true};
const UnavailableEncoderClass kClass(kFacts);

}  // namespace

const EncoderClass& AACwriterClass = kClass;
