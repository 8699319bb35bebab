// WMA writer over the Windows Media runtime substitute; listed only where that runtime is available. Its
// encoder is not built yet, so the class answers the registry's questions and fails every file cleanly with
// the missing-library error.
#include "encoder/writer_class.h"
#include "encoder/writers.h"

namespace {

constexpr WriterFacts kFacts = {.name = "WMAwriter",
                                .description = "WMA  - Microsoft Windows Media 9 Encoder",
                                .extension = "wma",
                                .filter = "Windows Media Audio files (*.wma)|*.wma"};
const WriterClass<UnavailableWriter> kClass(kFacts);

}  // namespace

const EncoderClass& WMAwriterClass = kClass;
