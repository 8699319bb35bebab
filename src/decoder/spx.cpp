// TSPXReader: Speex files, delivered as 16-bit PCM.
#include "decoder/bass.h"
#include "decoder/sources.h"

namespace {

constexpr FormatEntry kFormats[] = {
    {"Speex Files", ".spx"},
};

class TSPXReader final : public TBASSReaderu {
  public:
    explicit TSPXReader(const std::string& fileName, bool floatOutput = false)
        : TBASSReaderu(fileName, floatOutput) {}
    const char* ClassName() const override { return "TSPXReader"; }
};

const BassSourceClass<TSPXReader> kClass("TSPXReader", kFormats, true);

}  // namespace

const DecoderClass& TSPXReaderClass = kClass;
