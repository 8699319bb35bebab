// TBassSndReader: the assorted formats (AU, IFF/SVX, VOC, CAF, W64, GSM, ...) read through general decoders;
// the tag library cannot copy their tags.
#include "decoder/bass.h"
#include "decoder/sources.h"

namespace {

constexpr FormatEntry kFormats[] = {
    {"SUN Audio Files", ".au"},
    {"SUN Audio Files", ".snd"},
    {"Commodore Amiga", ".iff"},
    {"Commodore Amiga", ".svx"},
    {"Creative VOC", ".voc"},
    {"Portable Voice Format", ".pvf"},
    {"GSM Audio Codec", ".gsm"},
    {"Apple CAF", ".caf"},
    {"Sony W64", ".w64"},
    {"Ensoniq PARIS Audio", ".paf"},
    {"Ensoniq PARIS Audio", ".fap"},
    {"IRCAM Soundfile", ".ircam"},
    {"Internet Low Bitrate Codec", ".lbc"},
    {"Internet Low Bitrate Codec", ".ilbc"},
    {"Digital Speech Standard(DSS)", ".dss"},
    {"PureVoice QCP", ".qcp"},
    {"Asterisk SLN", ".sln"},
};

class TBassSndReader final : public TBASSReaderu {
  public:
    explicit TBassSndReader(const std::string& fileName, bool floatOutput = true)
        : TBASSReaderu(fileName, floatOutput) {}
    const char* ClassName() const override { return "TBassSndReader"; }
};

const BassSourceClass<TBassSndReader> kClass("TBassSndReader", kFormats, false);

}  // namespace

const DecoderClass& TBassSndReaderClass = kClass;
