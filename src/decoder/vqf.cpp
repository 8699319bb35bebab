// TVQFReader: TwinVQ and RealAudio files. The tag library can't read them, so their tags come from the
// key=value block the decoder reports.
#include <cstring>

#include "decoder/bass.h"
#include "decoder/sources.h"

namespace {

constexpr FormatEntry kFormats[] = {
    {"TwinVQ Files", ".vqf"},
    {"Real Audio Files", ".ra"},
    {"Real Audio Files", ".rm"},
};

// Removes leading and trailing blanks and control characters, as tag values often carry padding.
std::string Trim(const std::string& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
    return text.substr(first, last - first);
}

class TVQFReader final : public TBASSReaderu {
  public:
    explicit TVQFReader(const std::string& fileName, bool floatOutput = true)
        : TBASSReaderu(fileName, floatOutput) {}

    void GetTags(TagFrame& tags) const override {
        // Assigned as whole strings: GCC 12 warns (-Wrestrict) about copying literals into cleared ones.
        tags.Clear();
        tags.track = std::string("0");
        tags.year = std::string("Unknown");
        tags.genre = std::string("Unknown");
        const char* entry = BASS_ChannelGetTags(handle_, BASS_TAG_OGG);
        if (!entry) return;
        while (*entry) {
            const std::string text(entry);
            const size_t eq = text.find('=');
            const std::string key = eq == std::string::npos ? std::string() : Trim(text.substr(0, eq));
            const std::string value = eq == std::string::npos ? Trim(text) : Trim(text.substr(eq + 1));
            if (key == "title")
                tags.title = value;
            else if (key == "author")
                tags.artist = value;
            else if (key == "album")
                tags.album = value;
            entry += text.size() + 1;
        }
    }
    const char* ClassName() const override { return "TVQFReader"; }
};

const BassSourceClass<TVQFReader> kClass("TVQFReader", kFormats, false);

}  // namespace

const DecoderClass& TVQFReaderClass = kClass;
