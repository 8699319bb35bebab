// Ogg Vorbis writer over libogg and libvorbis. Its encoder is not built yet, so the class answers the
// registry's questions and fails every file cleanly with the missing-library error.
#include "encoder/writer_class.h"
#include "encoder/writers.h"

namespace {

constexpr WriterFacts kFacts = {.name = "OGGwriter",
                                .description = "OGG  - Ogg Vorbis Encoder",
                                .extension = "ogg",
                                .filter = "Ogg Vorbis files (*.ogg)|*.ogg"};
const WriterClass<UnavailableWriter> kClass(kFacts);

}  // namespace

const EncoderClass& OGGwriterClass = kClass;
