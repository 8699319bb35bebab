// TOGGReader: Ogg Vorbis files, delivered as 16-bit PCM.
#include "decoder/bass.h"
#include "decoder/sources.h"

namespace {

constexpr FormatEntry kFormats[] = {
    {"Ogg Vorbis Files", ".ogg"},
    {"Ogg Vorbis Files", ".oga"},
};

class TOGGReader final : public TBASSReaderu {
  public:
    explicit TOGGReader(const std::string& fileName, bool floatOutput = false)
        : TBASSReaderu(fileName, floatOutput) {}
    const char* ClassName() const override { return "TOGGReader"; }
};

const BassSourceClass<TOGGReader> kClass("TOGGReader", kFormats, true);

}  // namespace

const DecoderClass& TOGGReaderClass = kClass;
