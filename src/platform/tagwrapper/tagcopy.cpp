// Tag copy between files: TagLib's property maps do the mapping of keys between tag formats; M4A custom
// keys and cover art need format-specific code because TagLib 1.13 has no generic API for them.
#include "platform/tagwrapper/tagcopy.h"

#include <attachedpictureframe.h>
#include <aifffile.h>
#include <apefile.h>
#include <apetag.h>
#include <flacfile.h>
#include <flacpicture.h>
#include <id3v2tag.h>
#include <mp4file.h>
#include <mp4tag.h>
#include <mpegfile.h>
#include <opusfile.h>
#include <tfile.h>
#include <tpropertymap.h>
#include <vorbisfile.h>
#include <wavfile.h>
#include <wavpackfile.h>
#include <xiphcomment.h>

#include <algorithm>
#include <utility>
#include <string>
#include <vector>

namespace tagwrapper {
namespace {

using TagLib::ByteVector;
using TagLib::String;

const String kFreeformPrefix = "----:com.apple.iTunes:";
const String kCoverAtom = "covr";
const char kPictureFrame[] = "APIC";
// APEv2 keeps a picture as a binary item: a file name, a zero byte, the image.
const String kApeFrontCover = "Cover Art (Front)";
const String kApeBackCover = "Cover Art (Back)";
constexpr int kFrontCover = 3;
constexpr int kBackCover = 4;

struct Picture {
    ByteVector data;
    String mimeType;
    String description;
    int type = 3;  // front cover, in the numbering FLAC and ID3v2 share
};

// M4A keeps keys it has no atom for as freeform items that TagLib 1.13 does not turn into properties.
TagLib::PropertyMap ReadProperties(TagLib::File& file) {
    TagLib::PropertyMap properties = file.properties();
    auto* mp4 = dynamic_cast<TagLib::MP4::File*>(&file);
    if (mp4 == nullptr || mp4->tag() == nullptr) return properties;
    for (const String& name : properties.unsupportedData()) {
        if (!name.startsWith(kFreeformPrefix) || name.size() == kFreeformPrefix.size()) continue;
        const String key = name.substr(kFreeformPrefix.size()).upper();
        const TagLib::StringList values = mp4->tag()->item(name).toStringList();
        if (!properties.contains(key) && !values.isEmpty()) properties.insert(key, values);
    }
    return properties;
}

// iTunSMPB describes the encoder delay and padding of one particular encoding: the source's is wrong for
// every output (an AAC writer stores its own), whatever its spelling or its tag format.
bool DescribesAnEncoding(const String& key) {
    const std::string upper = key.upper().to8Bit(true);
    const std::string name = "ITUNSMPB";
    return upper == name || (upper.size() > name.size() && upper.ends_with(":" + name));
}

void WriteFreeform(TagLib::MP4::File& file, const TagLib::PropertyMap& refused) {
    if (file.tag() == nullptr) return;
    for (const auto& [key, values] : refused) {
        if (key.isEmpty() || values.isEmpty()) continue;
        file.tag()->setItem(kFreeformPrefix + key, TagLib::MP4::Item(values));
    }
}

TagLib::ID3v2::Tag* Id3v2Of(TagLib::File& file, bool create) {
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(&file)) return mpeg->ID3v2Tag(create);
    if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(&file)) return wav->ID3v2Tag();
    if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(&file)) return aiff->tag();
    return nullptr;
}

TagLib::Ogg::XiphComment* XiphOf(TagLib::File& file) {
    if (auto* vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File*>(&file)) return vorbis->tag();
    if (auto* opus = dynamic_cast<TagLib::Ogg::Opus::File*>(&file)) return opus->tag();
    return nullptr;
}

// Monkey's Audio and WavPack files carry APEv2 tags.
TagLib::APE::Tag* ApeOf(TagLib::File& file, bool create) {
    if (auto* ape = dynamic_cast<TagLib::APE::File*>(&file)) return ape->APETag(create);
    if (auto* wavpack = dynamic_cast<TagLib::WavPack::File*>(&file)) return wavpack->APETag(create);
    return nullptr;
}

// The image's kind by its first bytes: players go by the extension of an APEv2 picture's file name.
struct ImageKind {
    const char* extension;
    const char* mimeType;
};
ImageKind KindOf(const ByteVector& data) {
    if (data.startsWith(ByteVector("\xFF\xD8\xFF", 3))) return {"jpg", "image/jpeg"};
    if (data.startsWith(ByteVector("\x89PNG", 4))) return {"png", "image/png"};
    if (data.startsWith(ByteVector("GIF8", 4))) return {"gif", "image/gif"};
    if (data.startsWith(ByteVector("BM", 2))) return {"bmp", "image/bmp"};
    return {"bin", ""};
}

void ReadApePictures(const TagLib::APE::Tag& tag, std::vector<Picture>& pictures) {
    for (const auto& [key, type] :
         {std::pair{kApeFrontCover, kFrontCover}, std::pair{kApeBackCover, kBackCover}}) {
        const auto item = tag.itemListMap().find(key.upper());
        if (item == tag.itemListMap().end() || item->second.type() != TagLib::APE::Item::Binary) continue;
        const ByteVector value = item->second.binaryData();
        const int nameEnd = value.find('\0');
        if (nameEnd < 0) continue;
        const ByteVector image = value.mid(static_cast<unsigned>(nameEnd) + 1);
        if (!image.isEmpty()) pictures.push_back({image, KindOf(image).mimeType, String(), type});
    }
}

void SetApePicture(TagLib::APE::Tag& tag, const String& key, const Picture& picture) {
    ByteVector value("cover.");
    value.append(KindOf(picture.data).extension);
    value.append('\0');
    value.append(picture.data);
    tag.setItem(key, TagLib::APE::Item(key, value, true));
}

// The front cover (else the first picture) and the back cover; APEv2 has no place for others.
void WriteApePictures(TagLib::APE::Tag& tag, const std::vector<Picture>& pictures) {
    tag.removeItem(kApeFrontCover);
    tag.removeItem(kApeBackCover);
    if (pictures.empty()) return;
    const auto front = std::find_if(pictures.begin(), pictures.end(),
                                    [](const Picture& picture) { return picture.type == kFrontCover; });
    const Picture& cover = front != pictures.end() ? *front : pictures.front();
    SetApePicture(tag, kApeFrontCover, cover);
    const auto back = std::find_if(pictures.begin(), pictures.end(), [&](const Picture& picture) {
        return picture.type == kBackCover && &picture != &cover;
    });
    if (back != pictures.end()) SetApePicture(tag, kApeBackCover, *back);
}

Picture FromFlac(const TagLib::FLAC::Picture& picture) {
    return {picture.data(), picture.mimeType(), picture.description(), static_cast<int>(picture.type())};
}

TagLib::FLAC::Picture* ToFlac(const Picture& picture) {
    auto* result = new TagLib::FLAC::Picture;
    result->setData(picture.data);
    result->setMimeType(picture.mimeType);
    result->setDescription(picture.description);
    result->setType(static_cast<TagLib::FLAC::Picture::Type>(picture.type));
    return result;
}

String MimeOf(TagLib::MP4::CoverArt::Format format) {
    switch (format) {
        case TagLib::MP4::CoverArt::JPEG:
            return "image/jpeg";
        case TagLib::MP4::CoverArt::PNG:
            return "image/png";
        case TagLib::MP4::CoverArt::BMP:
            return "image/bmp";
        case TagLib::MP4::CoverArt::GIF:
            return "image/gif";
        default:
            return String();
    }
}

TagLib::MP4::CoverArt::Format FormatOf(const String& mime) {
    const String upper = mime.upper();
    if (upper == "IMAGE/JPEG" || upper == "IMAGE/JPG") return TagLib::MP4::CoverArt::JPEG;
    if (upper == "IMAGE/PNG") return TagLib::MP4::CoverArt::PNG;
    if (upper == "IMAGE/BMP") return TagLib::MP4::CoverArt::BMP;
    if (upper == "IMAGE/GIF") return TagLib::MP4::CoverArt::GIF;
    return TagLib::MP4::CoverArt::Unknown;
}

std::vector<Picture> ReadPictures(TagLib::File& file) {
    std::vector<Picture> pictures;
    if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(&file)) {
        for (const TagLib::FLAC::Picture* picture : flac->pictureList())
            pictures.push_back(FromFlac(*picture));
    } else if (TagLib::Ogg::XiphComment* xiph = XiphOf(file)) {
        for (const TagLib::FLAC::Picture* picture : xiph->pictureList())
            pictures.push_back(FromFlac(*picture));
    } else if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(&file)) {
        if (mp4->tag() != nullptr && mp4->tag()->contains(kCoverAtom)) {
            for (const TagLib::MP4::CoverArt& art : mp4->tag()->item(kCoverAtom).toCoverArtList())
                pictures.push_back({art.data(), MimeOf(art.format()), String(), 3});
        }
    } else if (TagLib::APE::Tag* ape = ApeOf(file, false)) {
        ReadApePictures(*ape, pictures);
    } else if (TagLib::ID3v2::Tag* id3 = Id3v2Of(file, false)) {
        for (const TagLib::ID3v2::Frame* frame : id3->frameList(kPictureFrame)) {
            const auto* apic = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame);
            if (apic != nullptr)
                pictures.push_back(
                    {apic->picture(), apic->mimeType(), apic->description(), static_cast<int>(apic->type())});
        }
    }
    return pictures;
}

void WritePictures(TagLib::File& file, const std::vector<Picture>& pictures) {
    if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(&file)) {
        flac->removePictures();
        for (const Picture& picture : pictures) flac->addPicture(ToFlac(picture));
    } else if (TagLib::Ogg::XiphComment* xiph = XiphOf(file)) {
        xiph->removeAllPictures();
        for (const Picture& picture : pictures) xiph->addPicture(ToFlac(picture));
    } else if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(&file)) {
        if (mp4->tag() == nullptr) return;
        TagLib::MP4::CoverArtList covers;
        for (const Picture& picture : pictures) covers.append({FormatOf(picture.mimeType), picture.data});
        mp4->tag()->setItem(kCoverAtom, TagLib::MP4::Item(covers));
    } else if (TagLib::APE::Tag* ape = ApeOf(file, true)) {
        WriteApePictures(*ape, pictures);
    } else if (TagLib::ID3v2::Tag* id3 = Id3v2Of(file, true)) {
        id3->removeFrames(kPictureFrame);
        for (const Picture& picture : pictures) {
            auto* apic = new TagLib::ID3v2::AttachedPictureFrame;
            apic->setPicture(picture.data);
            apic->setMimeType(picture.mimeType);
            apic->setDescription(picture.description);
            apic->setType(static_cast<TagLib::ID3v2::AttachedPictureFrame::Type>(picture.type));
            id3->addFrame(apic);
        }
    }
}

}  // namespace

void CopyTags(TagLib::File& source, TagLib::File& destination) {
    // Everything is read before anything is written, in case source and destination are one file.
    TagLib::PropertyMap incoming = ReadProperties(source);
    TagLib::StringList dropped;
    for (const auto& [key, values] : incoming)
        if (DescribesAnEncoding(key)) dropped.append(key);
    for (const String& key : dropped) incoming.erase(key);
    const std::vector<Picture> pictures = ReadPictures(source);
    TagLib::PropertyMap merged = destination.properties();
    for (const auto& [key, values] : incoming) merged.replace(key, values);
    const TagLib::PropertyMap refused = destination.setProperties(merged);
    if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(&destination)) WriteFreeform(*mp4, refused);

    if (!pictures.empty()) WritePictures(destination, pictures);
}

}  // namespace tagwrapper
