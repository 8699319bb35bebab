// AAC writer in MP4 over fdk-aac. Its encoder is not built yet, so the class answers the registry's questions
// and fails every file cleanly with the missing-library error.
#include "encoder/writer_class.h"
#include "encoder/writers.h"

namespace {

constexpr WriterFacts kFacts = {.name = "AACwriter",
                                .description = "AAC  - MPEG4 Advanced Audio Coding",
                                .extension = "m4a",
                                .filter = "MPEG4 AAC Audio (*.m4a)|*.m4a"};
const WriterClass<UnavailableWriter> kClass(kFacts);

}  // namespace

const EncoderClass& AACwriterClass = kClass;
