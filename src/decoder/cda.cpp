// TCDA2Reader; see cda.h.
#include "decoder/cda.h"

#include <cstdio>
#include <set>

#include "platform/basscd/basscd.h"
#include "decoder/sources.h"

namespace {

constexpr FormatEntry kFormats[] = {{"Audio CD Tracks", ".cda"}};
const BassSourceClass<TCDA2Reader> kClass("TCDA2Reader", kFormats, false);

}  // namespace

const DecoderClass& TCDA2ReaderClass = kClass;

TCDDBParser& CDDBCache() {
    static TCDDBParser cache;
    return cache;
}

std::vector<std::string> SplitReplyLines(const std::string& reply) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < reply.size()) {
        size_t end = reply.find('\n', start);
        if (end == std::string::npos) end = reply.size();
        std::string line = reply.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

TCDA2Reader::TCDA2Reader(const std::string& fileName, bool floatOutput)
    : TBASSReaderu(fileName, floatOutput) {
    const DWORD where = BASS_CD_StreamGetTrack(handle_);
    drive_ = static_cast<int>(where >> 16);
    track_ = static_cast<int>(where & 0xFFFF);
}

int TCDA2Reader::ReadBlock(const uint8_t*& data, uint32_t& count) {
    const int result = TBASSReaderu::ReadBlock(data, count);
    if (result != 0 && valid_ && bytesRead_ < static_cast<uint64_t>(length_)) {
        char text[160];
        std::snprintf(text, sizeof text, "read error: sector %llu of %llu of the track could not be read",
                      static_cast<unsigned long long>(bytesRead_ / 2352 + 1),
                      static_cast<unsigned long long>(length_ / 2352));
        throw std::runtime_error(text);
    }
    return result;
}

void TCDA2Reader::GetTags(TagFrame& tags) const {
    tags.Clear();
    if (!valid_) return;
    const char* idText = BASS_CD_GetID(static_cast<DWORD>(drive_), BASS_CDID_CDDB);
    const std::string query = idText ? idText : "";
    const size_t blank = query.find(' ');
    const std::string discId = blank == std::string::npos ? std::string() : query.substr(0, blank);

    TCDDBParser& cache = CDDBCache();
    bool cached = false;
    for (size_t i = 0; i < cache.Disks().Count() && !cached; ++i) cached = cache.Disks()[i].HasDiscID(discId);
    // A disc's reply is parsed once, whatever it held: one without this disc (or one the parser rejects)
    // would otherwise be parsed again for every track, and its records pile up in the cache each time.
    // Like the cache, this is used under the naming lock only.
    static std::set<std::string> parsed;
    if (!cached && parsed.insert(discId).second) {
        const char* reply = BASS_CD_GetID(static_cast<DWORD>(drive_), BASS_CDID_CDDB_READ);
        if (reply != nullptr && *reply != '\0') {
            try {
                cache.Parse(SplitReplyLines(reply), true);
            } catch (const ECDDBParser& error) {
                // A record the parser rejects costs the tags, not the track: the audio still converts.
                std::fprintf(stderr, "%s\n", error.what());
            }
        }
    }
    for (size_t i = 0; i < cache.Disks().Count(); ++i) {
        const TCDDisk& disk = cache.Disks()[i];
        if (!disk.HasDiscID(discId) || disk.Tracks.Count() <= static_cast<size_t>(track_)) continue;
        const TCDTrack& track = disk.Tracks[static_cast<size_t>(track_)];
        tags.title = track.Title;
        tags.artist = track.Performer();
        tags.album = disk.Title;
        tags.track = std::to_string(track_ + 1);
        tags.year = std::to_string(disk.Year);
        tags.genre = disk.Genre;
    }
}
