// AMR writer, the FFmpeg-based writer for AMR-NB and AMR-WB; AMR files carry no tags. Its encoder is not
// built yet, so the class answers the registry's questions and fails every file cleanly with the
// missing-library error.
#include "encoder/unavailable.h"
#include "encoder/writers.h"

namespace {

constexpr UnavailableWriterFacts kFacts = {
    "AMRwriter", "AMR  - Adaptive Multi-Rate Codec", "amr", "AMR files (*.amr)|*.amr", false, false};
const UnavailableEncoderClass kClass(kFacts);

}  // namespace

const EncoderClass& AMRwriterClass = kClass;
