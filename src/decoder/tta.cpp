// TTTAReader: TrueAudio files, delivered as float.
#include "decoder/bass.h"
#include "decoder/sources.h"

namespace {

constexpr FormatEntry kFormats[] = {
    {"TrueAudio Files", ".tta"},
};

class TTTAReader final : public TBASSReaderu {
  public:
    explicit TTTAReader(const std::string& fileName, bool floatOutput = true)
        : TBASSReaderu(fileName, floatOutput) {}
    const char* ClassName() const override { return "TTTAReader"; }
};

const BassSourceClass<TTTAReader> kClass("TTTAReader", kFormats, true);

}  // namespace

const DecoderClass& TTTAReaderClass = kClass;
