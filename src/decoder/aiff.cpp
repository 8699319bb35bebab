// TAIFFReader: AIFF files, delivered as float.
#include "decoder/bass.h"
#include "decoder/sources.h"

namespace {

constexpr FormatEntry kFormats[] = {
    {"AIFF Audio Files", ".aif"},
    {"AIFF Audio Files", ".aiff"},
};

class TAIFFReader final : public TBASSReaderu {
  public:
    explicit TAIFFReader(const std::string& fileName, bool floatOutput = true)
        : TBASSReaderu(fileName, floatOutput) {}
    const char* ClassName() const override { return "TAIFFReader"; }
};

const BassSourceClass<TAIFFReader> kClass("TAIFFReader", kFormats, true);

}  // namespace

const DecoderClass& TAIFFReaderClass = kClass;
