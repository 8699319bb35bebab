// ALAC writer in MP4. Its encoder is not built yet, so the class answers the registry's questions and fails
// every file cleanly with the missing-library error.
#include "encoder/writer_class.h"
#include "encoder/writers.h"

namespace {

constexpr WriterFacts kFacts = {.name = "ALACwriter",
                                .description = "ALAC - MPEG4 Apple Lossless Audio Encoder",
                                .extension = "m4a",
                                .filter = "MPEG4 Apple Lossless (*.m4a)|*.m4a",
                                .lossless = true};
const WriterClass<UnavailableWriter> kClass(kFacts);

}  // namespace

const EncoderClass& ALACwriterClass = kClass;
