// ALAC writer in MP4. Its encoder is not built yet, so the class answers the registry's questions and fails
// every file cleanly with the missing-library error.
#include "encoder/unavailable.h"
#include "encoder/writers.h"

namespace {

constexpr UnavailableWriterFacts kFacts = {"ALACwriter", "ALAC - MPEG4 Apple Lossless Audio Encoder",
                                           "m4a",        "MPEG4 Apple Lossless (*.m4a)|*.m4a",
                                           true,         true};
const UnavailableEncoderClass kClass(kFacts);

}  // namespace

const EncoderClass& ALACwriterClass = kClass;
