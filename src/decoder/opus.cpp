// TOpusReader: Ogg Opus files, delivered as float.
#include "decoder/bass.h"
#include "decoder/sources.h"

namespace {

constexpr FormatEntry kFormats[] = {
    {"Opus Files", ".opus"},
};

class TOpusReader final : public TBASSReaderu {
  public:
    explicit TOpusReader(const std::string& fileName, bool floatOutput = true)
        : TBASSReaderu(fileName, floatOutput) {}
    const char* ClassName() const override { return "TOpusReader"; }
};

const BassSourceClass<TOpusReader> kClass("TOpusReader", kFormats, true);

}  // namespace

const DecoderClass& TOpusReaderClass = kClass;
