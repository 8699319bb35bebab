// TWAVReader: RIFF WAVE files, delivered as float so every stored depth passes unchanged.
#include "decoder/bass.h"
#include "decoder/sources.h"

namespace {

constexpr FormatEntry kFormats[] = {
    {"WAV Files", ".wav"},
};

class TWAVReader final : public TBASSReaderu {
  public:
    explicit TWAVReader(const std::string& fileName, bool floatOutput = true)
        : TBASSReaderu(fileName, floatOutput) {}
    const char* ClassName() const override { return "TWAVReader"; }
};

const BassSourceClass<TWAVReader> kClass("TWAVReader", kFormats, true);

}  // namespace

const DecoderClass& TWAVReaderClass = kClass;
