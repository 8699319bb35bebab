// TWMAReader: Windows Media Audio files; registered only when the Windows Media runtime is available.
#include "decoder/bass.h"
#include "decoder/sources.h"

namespace {

constexpr FormatEntry kFormats[] = {
    {"Windows Media Audio Files", ".wma"},
    {"Windows Media Audio Files", ".asf"},
};

class TWMAReader final : public TBASSReaderu {
  public:
    explicit TWMAReader(const std::string& fileName, bool floatOutput = true)
        : TBASSReaderu(fileName, floatOutput) {}
    const char* ClassName() const override { return "TWMAReader"; }
};

const BassSourceClass<TWMAReader> kClass("TWMAReader", kFormats, true);

}  // namespace

const DecoderClass& TWMAReaderClass = kClass;
