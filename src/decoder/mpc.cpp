// TMPCReader: Musepack and TAK files, delivered as float.
#include "decoder/bass.h"
#include "decoder/sources.h"

namespace {

constexpr FormatEntry kFormats[] = {
    {"Musepack Files", ".mpc"},
    {"Musepack Files", ".mpp"},
    {"Musepack Files", ".mp+"},
    {"Tom's Audio Kompressor", ".tak"},
};

class TMPCReader final : public TBASSReaderu {
  public:
    explicit TMPCReader(const std::string& fileName, bool floatOutput = true)
        : TBASSReaderu(fileName, floatOutput) {}
    const char* ClassName() const override { return "TMPCReader"; }
};

const BassSourceClass<TMPCReader> kClass("TMPCReader", kFormats, true);

}  // namespace

const DecoderClass& TMPCReaderClass = kClass;
