// WavPack writer. Its encoder is not built yet, so the class answers the registry's questions and fails
// every file cleanly with the missing-library error.
#include "encoder/writer_class.h"
#include "encoder/writers.h"

namespace {

constexpr WriterFacts kFacts = {.name = "WVwriter",
                                .description = "WV   - WavPack Lossless Encoder",
                                .extension = "wv",
                                .filter = "WV files (*.wv)|*.wv",
                                .lossless = true};
const WriterClass<UnavailableWriter> kClass(kFacts);

}  // namespace

const EncoderClass& WVwriterClass = kClass;
