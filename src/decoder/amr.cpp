// TAMRReader: AMR-NB and AMR-WB files, delivered as 16-bit PCM; they carry no tags.
#include "decoder/bass.h"
#include "decoder/sources.h"

namespace {

constexpr FormatEntry kFormats[] = {
    {"AMR Files", ".amr"},
    {"AMR Files", ".awb"},
};

class TAMRReader final : public TBASSReaderu {
  public:
    explicit TAMRReader(const std::string& fileName, bool floatOutput = false)
        : TBASSReaderu(fileName, floatOutput) {}
    // The tag library can't read these files; an empty frame is the honest answer.
    void GetTags(TagFrame& tags) const override { tags.Clear(); }
    const char* ClassName() const override { return "TAMRReader"; }
};

const BassSourceClass<TAMRReader> kClass("TAMRReader", kFormats, false);

}  // namespace

const DecoderClass& TAMRReaderClass = kClass;
