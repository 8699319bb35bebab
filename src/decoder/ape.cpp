// TAPEReader: Monkey's Audio files, delivered as float.
#include "decoder/bass.h"
#include "decoder/sources.h"

namespace {

constexpr FormatEntry kFormats[] = {
    {"Monkey's Audio Files", ".ape"},
};

class TAPEReader final : public TBASSReaderu {
  public:
    explicit TAPEReader(const std::string& fileName, bool floatOutput = true)
        : TBASSReaderu(fileName, floatOutput) {}
    const char* ClassName() const override { return "TAPEReader"; }
};

const BassSourceClass<TAPEReader> kClass("TAPEReader", kFormats, true);

}  // namespace

const DecoderClass& TAPEReaderClass = kClass;
