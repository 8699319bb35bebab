// TFLACReader: FLAC files, delivered as float.
#include "decoder/bass.h"
#include "decoder/sources.h"

namespace {

constexpr FormatEntry kFormats[] = {
    {"FLAC Files", ".flac"},
};

class TFLACReader final : public TBASSReaderu {
  public:
    explicit TFLACReader(const std::string& fileName, bool floatOutput = true)
        : TBASSReaderu(fileName, floatOutput) {}
    const char* ClassName() const override { return "TFLACReader"; }
};

const BassSourceClass<TFLACReader> kClass("TFLACReader", kFormats, true);

}  // namespace

const DecoderClass& TFLACReaderClass = kClass;
