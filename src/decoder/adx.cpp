// TADXReader: Dreamcast ADX/AIX files; the tag library can't read them, so they carry no tags.
#include "decoder/bass.h"
#include "decoder/sources.h"

namespace {

constexpr FormatEntry kFormats[] = {
    {"Dreamcast ADX Files", ".adx"},
    {"Dreamcast ADX Files", ".aix"},
};

class TADXReader final : public TBASSReaderu {
  public:
    explicit TADXReader(const std::string& fileName, bool floatOutput = true)
        : TBASSReaderu(fileName, floatOutput) {}
    // The tag library can't read these files; an empty frame is the honest answer.
    void GetTags(TagFrame& tags) const override { tags.Clear(); }
    const char* ClassName() const override { return "TADXReader"; }
};

const BassSourceClass<TADXReader> kClass("TADXReader", kFormats, false);

}  // namespace

const DecoderClass& TADXReaderClass = kClass;
