// Shared behaviour of every audio source: the class operations built on a class's format table, and the
// base tag and codec-name answers.
#include "decoder/reader.h"

#include <algorithm>

#include "bindings/taglib.h"
#include "decoder/decoder_util.h"

std::string ExtractFileExt(const std::string& fileName) {
    const size_t pos = fileName.find_last_of("./");
    if (pos == std::string::npos || fileName[pos] != '.') return {};
    return fileName.substr(pos);
}

void TDecoder::GetTags(TagFrame& tags) const {
    tags.Clear();
    taglib::taglib_set_strings_unicode(true);
    taglib::TagLib_File* file = taglib::taglib_file_newu(FileName_.c_str());
    if (file) {
        if (taglib::TagLib_Tag* tag = taglib::taglib_file_tag(file)) {
            auto text = [](const char* value) { return value ? std::string(value) : std::string(); };
            tags.title = text(taglib::taglib_tag_title(tag));
            tags.artist = text(taglib::taglib_tag_artist(tag));
            tags.album = text(taglib::taglib_tag_album(tag));
            tags.track = std::to_string(taglib::taglib_tag_track(tag));
            tags.year = std::to_string(taglib::taglib_tag_year(tag));
            tags.genre = text(taglib::taglib_tag_genre(tag));
        }
    }
    taglib::taglib_tag_free_strings();
    taglib::taglib_file_free(file);
}

std::string TDecoder::GetCodecName() const {
    const std::string ext = ExtractFileExt(decoder_util::LowerAscii(FileName_));
    return decoder_util::UpperAscii(ext.empty() ? ext : ext.substr(1));
}

WAVEFORMATEX TDecoder::GetWaveFormat() const {
    return MakeWaveFormat(GetFormatTag(), static_cast<uint32_t>(GetSampleRate()),
                          static_cast<uint16_t>(GetChannels()), static_cast<uint16_t>(GetBitsPerSample()));
}

bool DecoderClass::GetFormats(TFormats& formats) const {
    formats.clear();
    return false;
}

std::unique_ptr<TDecoder> DecoderClass::CreateFromFile(const std::string&) const {
    throw EAbstractError();
}

std::unique_ptr<TDecoder> DecoderClass::Create(const std::string&, bool) const {
    throw EAbstractError();
}

std::string DecoderClass::GetExtensionMask() const {
    TFormats formats;
    if (!GetFormats(formats)) return {};
    std::string mask;
    for (const TFormatDescription& format : formats) {
        if (!mask.empty()) mask += ';';
        mask += '*' + format.extension;
    }
    return mask;
}

std::string DecoderClass::GetFilterString() const {
    TFormats formats;
    if (!GetFormats(formats)) return {};
    std::vector<std::string> names;  // distinct names in order of first appearance
    for (const TFormatDescription& format : formats)
        if (std::find(names.begin(), names.end(), format.name) == names.end()) names.push_back(format.name);
    std::string filter;
    for (const std::string& name : names) {
        std::string patterns;
        for (const TFormatDescription& format : formats) {
            if (format.name != name) continue;
            if (!patterns.empty()) patterns += ';';
            patterns += '*' + format.extension;
        }
        if (!filter.empty()) filter += '|';
        filter += name + " (" + patterns + ")|" + patterns;
    }
    return filter;
}

bool DecoderClass::SupportsExtension(const std::string& extension) const {
    TFormats formats;
    if (!GetFormats(formats)) return false;
    return std::any_of(formats.begin(), formats.end(),
                       [&](const TFormatDescription& format) { return format.extension == extension; });
}
