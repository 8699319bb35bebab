// Ogg Vorbis writer over libogg and libvorbis. Its encoder is not built yet, so the class answers the
// registry's questions and fails every file cleanly with the missing-library error.
#include "encoder/unavailable.h"
#include "encoder/writers.h"

namespace {

constexpr UnavailableWriterFacts kFacts = {
    "OGGwriter", "OGG  - Ogg Vorbis Encoder", "ogg", "Ogg Vorbis files (*.ogg)|*.ogg", true, true};
const UnavailableEncoderClass kClass(kFacts);

}  // namespace

const EncoderClass& OGGwriterClass = kClass;
