// TDSFReader: DSD files (DSF, DSDIFF), delivered as float.
#include "decoder/bass.h"
#include "decoder/sources.h"

namespace {

constexpr FormatEntry kFormats[] = {
    {"Direct Stream Digital Files", ".dsf"},
    {"Direct Stream Digital Files", ".dff"},
};

class TDSFReader final : public TBASSReaderu {
  public:
    explicit TDSFReader(const std::string& fileName, bool floatOutput = true)
        : TBASSReaderu(fileName, floatOutput) {}
    const char* ClassName() const override { return "TDSFReader"; }
};

const BassSourceClass<TDSFReader> kClass("TDSFReader", kFormats, true);

}  // namespace

const DecoderClass& TDSFReaderClass = kClass;
