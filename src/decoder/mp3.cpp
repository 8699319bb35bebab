// TMP3Reader: MPEG audio layer 2 and 3 files, delivered as 16-bit PCM.
#include "decoder/bass.h"
#include "decoder/sources.h"

namespace {

constexpr FormatEntry kFormats[] = {
    {"MP3 Files", ".mp3"},
    {"MP3 Files", ".mp2"},
};

class TMP3Reader final : public TBASSReaderu {
  public:
    explicit TMP3Reader(const std::string& fileName, bool floatOutput = false)
        : TBASSReaderu(fileName, floatOutput) {}
    const char* ClassName() const override { return "TMP3Reader"; }
};

const BassSourceClass<TMP3Reader> kClass("TMP3Reader", kFormats, true);

}  // namespace

const DecoderClass& TMP3ReaderClass = kClass;
