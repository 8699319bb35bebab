// libtagwrapper.so: the taglib_* C calls the program binds at run time, realised over TagLib's C++ API.
// No C++ exception may leave a call, since the caller reaches these symbols through dlsym from any code.
#include "platform/tagwrapper/tagwrapper.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <aifffile.h>
#include <fileref.h>
#include <id3v2tag.h>
#include <infotag.h>
#include <wavfile.h>
#include <tag.h>
#include <tfile.h>
#include <tfilestream.h>
#include <tstring.h>

#include "platform/tagwrapper/tagcopy.h"

namespace {

// A file stream that answers a name of the caller's choosing: the file reference picks the type by the
// extension of its stream's name.
class AliasStream : public TagLib::FileStream {
  public:
    AliasStream(const char* path, std::string alias) : TagLib::FileStream(path), alias_(std::move(alias)) {}
    TagLib::FileName name() const override { return alias_.c_str(); }

  private:
    std::string alias_;
};

}  // namespace

struct TagLib_File {
    std::unique_ptr<AliasStream> stream;  // set when the type was chosen by an extension given apart
    TagLib::FileRef ref;                  // destroyed before the stream it may read from
};

namespace {

std::atomic<bool> gUnicode{true};

// Texts handed out by the getters; they must outlive the call, so the list owns them until the caller
// releases them all at once. Sources on several threads may read tags, hence the lock.
std::mutex gStringsMutex;
std::vector<std::unique_ptr<char[]>> gStrings;

char gEmpty[1] = {0};

// TagLib keeps RIFF and AIFF chunk sizes in 32 bits. It cannot tag an RF64 file (it takes the data
// chunk, whose 32-bit size says 0xFFFFFFFF, for a broken one and writes its tags over it), and tags that
// take a file past what the form's size can state would wrap it and hide the audio behind them. Such
// files keep their sound and go without tags. Other types have no such limit here.
bool TagsFit(TagLib::File& file) {
    auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(&file);
    auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(&file);
    if (!wav && !aiff) return true;
    file.seek(0);
    const TagLib::ByteVector magic = file.readBlock(4);
    if (magic == "RF64" || magic == "BW64") return false;
    // Each tag is one chunk: its 8-byte header, the tag, a pad byte.
    uint64_t tags = 0;
    if (wav) {
        tags += 9 + uint64_t{wav->ID3v2Tag()->render().size()};
        tags += 9 + uint64_t{wav->InfoTag()->render().size()};
    } else {
        tags += 9 + uint64_t{aiff->tag()->render().size()};
    }
    const long length = file.length();
    return length >= 8 && static_cast<uint64_t>(length) - 8 + tags <= 0xFFFFFFFFu;
}

char* Keep(const TagLib::String& text) {
    try {
        const std::string bytes = text.to8Bit(gUnicode.load());
        auto copy = std::make_unique<char[]>(bytes.size() + 1);
        std::memcpy(copy.get(), bytes.c_str(), bytes.size() + 1);
        char* result = copy.get();
        std::lock_guard<std::mutex> lock(gStringsMutex);
        gStrings.push_back(std::move(copy));
        return result;
    } catch (...) {
        return gEmpty;
    }
}

TagLib::String Text(const char* text) {
    if (text == nullptr) return TagLib::String();
    return TagLib::String(text, gUnicode.load() ? TagLib::String::UTF8 : TagLib::String::Latin1);
}

TagLib::Tag* AsTag(const TagLib_Tag* tag) {
    return reinterpret_cast<TagLib::Tag*>(const_cast<TagLib_Tag*>(tag));
}

template <typename Getter>
char* GetText(const TagLib_Tag* tag, Getter getter) {
    if (tag == nullptr) return Keep(TagLib::String());
    try {
        return Keep((AsTag(tag)->*getter)());
    } catch (...) {
        return Keep(TagLib::String());
    }
}

template <typename Setter>
void SetText(TagLib_Tag* tag, const char* text, Setter setter) {
    if (tag == nullptr) return;
    try {
        (AsTag(tag)->*setter)(Text(text));
    } catch (...) {
    }
}

template <typename Getter>
unsigned int GetNumber(const TagLib_Tag* tag, Getter getter) {
    if (tag == nullptr) return 0;
    try {
        return (AsTag(tag)->*getter)();
    } catch (...) {
        return 0;
    }
}

template <typename Setter>
void SetNumber(TagLib_Tag* tag, unsigned int value, Setter setter) {
    if (tag == nullptr) return;
    try {
        (AsTag(tag)->*setter)(value);
    } catch (...) {
    }
}

}  // namespace

extern "C" {

void taglib_set_strings_unicode(int unicode) {
    gUnicode.store(unicode != 0);
}

TagLib_File* taglib_file_newu(const char* path) {
    if (path == nullptr || *path == '\0') return nullptr;
    try {
        // FileRef picks the type by extension and, failing that, by content; a file of no known type or
        // one TagLib finds invalid gives a null reference.
        auto file = std::make_unique<TagLib_File>(TagLib_File{nullptr, TagLib::FileRef(path)});
        if (file->ref.isNull()) return nullptr;
        return file.release();
    } catch (...) {
        return nullptr;
    }
}

TagLib_File* taglib_file_new_as(const char* path, const char* extension) {
    if (path == nullptr || *path == '\0' || extension == nullptr || *extension == '\0') return nullptr;
    try {
        auto stream = std::make_unique<AliasStream>(path, std::string("file.") + extension);
        if (!stream->isOpen()) return nullptr;
        auto file = std::make_unique<TagLib_File>();
        file->ref = TagLib::FileRef(stream.get());
        file->stream = std::move(stream);
        if (file->ref.isNull()) return nullptr;
        return file.release();
    } catch (...) {
        return nullptr;
    }
}

TagLib_Tag* taglib_file_tag(const TagLib_File* file) {
    if (file == nullptr) return nullptr;
    return reinterpret_cast<TagLib_Tag*>(file->ref.tag());
}

char* taglib_tag_title(const TagLib_Tag* tag) {
    return GetText(tag, &TagLib::Tag::title);
}
char* taglib_tag_artist(const TagLib_Tag* tag) {
    return GetText(tag, &TagLib::Tag::artist);
}
char* taglib_tag_album(const TagLib_Tag* tag) {
    return GetText(tag, &TagLib::Tag::album);
}
char* taglib_tag_genre(const TagLib_Tag* tag) {
    return GetText(tag, &TagLib::Tag::genre);
}
unsigned int taglib_tag_track(const TagLib_Tag* tag) {
    return GetNumber(tag, &TagLib::Tag::track);
}
unsigned int taglib_tag_year(const TagLib_Tag* tag) {
    return GetNumber(tag, &TagLib::Tag::year);
}

void taglib_tag_set_title(TagLib_Tag* tag, const char* text) {
    SetText(tag, text, &TagLib::Tag::setTitle);
}
void taglib_tag_set_artist(TagLib_Tag* tag, const char* text) {
    SetText(tag, text, &TagLib::Tag::setArtist);
}
void taglib_tag_set_album(TagLib_Tag* tag, const char* text) {
    SetText(tag, text, &TagLib::Tag::setAlbum);
}
void taglib_tag_set_genre(TagLib_Tag* tag, const char* text) {
    SetText(tag, text, &TagLib::Tag::setGenre);
}
void taglib_tag_set_track(TagLib_Tag* tag, unsigned int track) {
    SetNumber(tag, track, &TagLib::Tag::setTrack);
}
void taglib_tag_set_year(TagLib_Tag* tag, unsigned int year) {
    SetNumber(tag, year, &TagLib::Tag::setYear);
}

int taglib_file_save(TagLib_File* file) {
    if (file == nullptr) return 0;
    try {
        if (!TagsFit(*file->ref.file())) return 0;
        return file->ref.save() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

void taglib_tag_copy(const TagLib_File* source, TagLib_File* destination) {
    if (source == nullptr || destination == nullptr) return;
    try {
        tagwrapper::CopyTags(*source->ref.file(), *destination->ref.file());
    } catch (...) {
    }
}

void taglib_file_free(TagLib_File* file) {
    try {
        delete file;
    } catch (...) {
    }
}

void taglib_tag_free_strings(void) {
    std::vector<std::unique_ptr<char[]>> released;
    {
        std::lock_guard<std::mutex> lock(gStringsMutex);
        released.swap(gStrings);
    }
}

}  // extern "C"
