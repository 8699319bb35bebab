// TWVReader: WavPack files, delivered as float.
#include "decoder/bass.h"
#include "decoder/sources.h"

namespace {

constexpr FormatEntry kFormats[] = {
    {"WavPack Files", ".wv"},
};

class TWVReader final : public TBASSReaderu {
  public:
    explicit TWVReader(const std::string& fileName, bool floatOutput = true)
        : TBASSReaderu(fileName, floatOutput) {}
    const char* ClassName() const override { return "TWVReader"; }
};

const BassSourceClass<TWVReader> kClass("TWVReader", kFormats, true);

}  // namespace

const DecoderClass& TWVReaderClass = kClass;
