// MP3 writer over the LAME encoder. Its encoder is not built yet, so the class answers the registry's
// questions and fails every file cleanly with the missing-library error.
#include "unavailable.h"
#include "writers.h"

namespace {

constexpr UnavailableWriterFacts kFacts = {
    "MP3writer", "MP3  - Lame MP3 Encoder", "mp3", "MP3 files (*.mp3)|*.mp3", true, true};
const UnavailableEncoderClass kClass(kFacts);

}  // namespace

const EncoderClass& MP3writerClass = kClass;
