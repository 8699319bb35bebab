// TOFRReader: OptimFROG files, delivered as float (invalid where no decoder for them is installed).
#include "decoder/bass.h"
#include "decoder/sources.h"

namespace {

constexpr FormatEntry kFormats[] = {
    {"OptimFrog Files", ".ofr"},
};

class TOFRReader final : public TBASSReaderu {
  public:
    explicit TOFRReader(const std::string& fileName, bool floatOutput = true)
        : TBASSReaderu(fileName, floatOutput) {}
    const char* ClassName() const override { return "TOFRReader"; }
};

const BassSourceClass<TOFRReader> kClass("TOFRReader", kFormats, true);

}  // namespace

const DecoderClass& TOFRReaderClass = kClass;
