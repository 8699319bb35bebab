// TAACReader: Raw ADTS AAC files, delivered as 16-bit PCM.
#include "decoder/bass.h"
#include "decoder/sources.h"

namespace {

constexpr FormatEntry kFormats[] = {
    {"Advanced Audio Coding", ".aac"},
};

class TAACReader final : public TBASSReaderu {
  public:
    explicit TAACReader(const std::string& fileName, bool floatOutput = false)
        : TBASSReaderu(fileName, floatOutput) {}
    const char* ClassName() const override { return "TAACReader"; }
};

const BassSourceClass<TAACReader> kClass("TAACReader", kFormats, true);

}  // namespace

const DecoderClass& TAACReaderClass = kClass;
