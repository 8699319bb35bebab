// TMP4Reader: AAC and ALAC in MP4 containers, delivered as float.
#include "decoder/bass.h"
#include "decoder/sources.h"

namespace {

constexpr FormatEntry kFormats[] = {
    {"MPEG4 AAC/ALAC", ".mp4"},
    {"MPEG4 AAC/ALAC", ".m4a"},
};

class TMP4Reader final : public TBASSReaderu {
  public:
    explicit TMP4Reader(const std::string& fileName, bool floatOutput = true)
        : TBASSReaderu(fileName, floatOutput) {}
    const char* ClassName() const override { return "TMP4Reader"; }
};

const BassSourceClass<TMP4Reader> kClass("TMP4Reader", kFormats, true);

}  // namespace

const DecoderClass& TMP4ReaderClass = kClass;
