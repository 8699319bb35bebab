// Shared behaviour of every writer: the base tag writing through the tag library, the option dialog hook
// and the helpers the writers' format choices are built on.
#include "encoder/maker.h"

#include <charconv>
#include <cstdlib>

#include "bindings/taglib.h"

namespace {

OptionsDialogs* installedDialogs = nullptr;

}  // namespace

void Tencoder::Finish() {
    if (finished_) return;
    finished_ = true;
    Complete();
}

void Tencoder::FinishQuietly() noexcept {
    try {
        Finish();
    } catch (...) {
        // Nobody asked how the file ended: it is being abandoned.
    }
}

void SetOptionsDialogs(OptionsDialogs* dialogs) {
    installedDialogs = dialogs;
}

void EncoderClass::ShowDialog(int mode, const std::string& caption) const {
    if (installedDialogs) installedDialogs->Show(*this, mode, caption);
}

unsigned TagNumber(const std::string& text) {
    // A leading "+" is accepted as the run-time library's integer conversion does; anything else that is
    // not a plain decimal integer of the signed 32-bit range (e.g. "3/12", "Unknown", " 7") counts as none.
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (last - first > 1 && *first == '+' && first[1] >= '0' && first[1] <= '9') ++first;
    int32_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || value <= 0) return 0;
    return static_cast<unsigned>(value);
}

bool EncoderClass::WriteTags(const std::string& fileName, const TagFrame& tags) const {
    // The Unicode switch is left as reading the source's tags set it, and the texts are not released here:
    // the tag transfer around this call owns both.
    bool result = true;
    // The type is this class's, not whatever the name says: the pipeline tags outputs under temporary names.
    taglib::TagLib_File* file = taglib::taglib_file_new_as(fileName.c_str(), GetExtension().c_str());
    if (!file) return result;
    if (taglib::TagLib_Tag* tag = taglib::taglib_file_tag(file)) {
        taglib::taglib_tag_set_title(tag, tags.title.c_str());
        taglib::taglib_tag_set_artist(tag, tags.artist.c_str());
        taglib::taglib_tag_set_album(tag, tags.album.c_str());
        taglib::taglib_tag_set_track(tag, TagNumber(tags.track));
        taglib::taglib_tag_set_year(tag, TagNumber(tags.year));
        taglib::taglib_tag_set_genre(tag, tags.genre.c_str());
    }
    if (!taglib::taglib_file_save(file)) result = false;
    taglib::taglib_file_free(file);
    return result;
}

size_t NearestEntry(std::span<const int> table, int value) {
    auto distance = [value](int entry) { return std::llabs(static_cast<long long>(entry) - value); };
    size_t index = 0;
    while (index + 1 < table.size() && distance(table[index + 1]) < distance(table[index])) ++index;
    return index;
}
