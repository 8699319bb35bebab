// Opus writer over libopusenc. Its encoder is not built yet, so the class answers the registry's questions
// and fails every file cleanly with the missing-library error.
#include "encoder/writer_class.h"
#include "encoder/writers.h"

namespace {

constexpr WriterFacts kFacts = {.name = "Opuswriter",
                                .description = "OPUS - Ogg Opus Encoder",
                                .extension = "opus",
                                .filter = "Ogg Opus files (*.opus)|*.opus"};
const WriterClass<UnavailableWriter> kClass(kFacts);

}  // namespace

const EncoderClass& OpuswriterClass = kClass;
