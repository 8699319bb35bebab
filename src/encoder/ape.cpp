// Monkey's Audio writer. Its encoder is not built yet, so the class answers the registry's questions and
// fails every file cleanly with the missing-library error.
#include "encoder/writer_class.h"
#include "encoder/writers.h"

namespace {

constexpr WriterFacts kFacts = {.name = "APEwriter",
                                .description = "APE  - Monkey's Audio Encoder",
                                .extension = "ape",
                                .filter = "Monkey Audio files (*.ape)|*.ape",
                                .lossless = true};
const WriterClass<UnavailableWriter> kClass(kFacts);

}  // namespace

const EncoderClass& APEwriterClass = kClass;
