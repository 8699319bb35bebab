// AMR writer, the FFmpeg-based writer for AMR-NB and AMR-WB; AMR files carry no tags. Its encoder is not
// built yet, so the class answers the registry's questions and fails every file cleanly with the
// missing-library error.
#include "encoder/writer_class.h"
#include "encoder/writers.h"

namespace {

constexpr WriterFacts kFacts = {.name = "AMRwriter",
                                .description = "AMR  - Adaptive Multi-Rate Codec",
                                .extension = "amr",
                                .filter = "AMR files (*.amr)|*.amr",
                                .canCopyTags = false,
                                .writesTags = false};
const WriterClass<UnavailableWriter> kClass(kFacts);

}  // namespace

const EncoderClass& AMRwriterClass = kClass;
