// A small reader of MP4 files for the writer tests: walks the box tree and answers the movie and track time
// scales, the edit list and the sample sizes and durations, independently of the code that wrote them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace mp4test {

inline uint32_t Be32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
inline uint64_t Be64(const uint8_t* p) {
    return uint64_t{Be32(p)} << 32 | Be32(p + 4);
}

struct Edit {
    uint64_t duration;  // in movie ticks
    int64_t mediaTime;  // in track ticks
};

struct Movie {
    std::string error;  // empty when the file was read
    uint32_t movieScale = 0;
    uint32_t trackScale = 0;
    std::vector<Edit> edits;
    std::vector<uint32_t> sampleSizes;
    std::vector<uint32_t> sampleDurations;
    std::vector<uint8_t> sampleEntry;  // the stsd's first entry, its header included
    // Freeform items of the movie's metadata: ("<mean>:<name>", text).
    std::vector<std::pair<std::string, std::string>> freeform;
};

// The text of the freeform item `key` ("com.apple.iTunes:iTunSMPB"), and how many such items there are.
inline std::string FreeformText(const Movie& movie, const std::string& key, int* count = nullptr) {
    std::string text;
    int found = 0;
    for (const auto& [k, v] : movie.freeform) {
        if (k == key) {
            text = v;
            ++found;
        }
    }
    if (count) *count = found;
    return text;
}

// Reads the first track's boxes.
inline Movie Parse(const std::vector<uint8_t>& file) {
    Movie movie;
    bool inTrack = false, trackDone = false;
    auto walk = [&](auto&& self, size_t at, size_t end) -> void {
        while (at + 8 <= end) {
            uint64_t size = Be32(&file[at]);
            const std::string type(reinterpret_cast<const char*>(&file[at + 4]), 4);
            size_t header = 8;
            if (size == 1 && at + 16 <= end) {
                size = Be64(&file[at + 8]);
                header = 16;
            } else if (size == 0) {
                size = end - at;
            }
            if (size < header || at + size > end) {
                movie.error = "box " + type + " overruns its parent";
                return;
            }
            const uint8_t* body = &file[at + header];
            const size_t length = size - header;
            const bool fullV1 = length > 0 && body[0] == 1;
            if (type == "meta" && length >= 4) {
                self(self, at + header + 4, at + size);  // a full box: version and flags first
            } else if (type == "udta" || type == "ilst") {
                self(self, at + header, at + size);
            } else if (type == "----") {
                // mean, name and data boxes; mean and name carry 4 bytes of version and flags, data 8 of
                // type and locale.
                std::string mean, name, data;
                for (size_t child = 0; child + 8 <= length;) {
                    const uint32_t childSize = Be32(body + child);
                    if (childSize < 8 || child + childSize > length) break;
                    const std::string childType(reinterpret_cast<const char*>(body + child + 4), 4);
                    const char* text = reinterpret_cast<const char*>(body + child + 8);
                    if (childType == "mean" && childSize >= 12) mean.assign(text + 4, childSize - 12);
                    if (childType == "name" && childSize >= 12) name.assign(text + 4, childSize - 12);
                    if (childType == "data" && childSize >= 16) data.assign(text + 8, childSize - 16);
                    child += childSize;
                }
                movie.freeform.emplace_back(mean + ":" + name, data);
            } else if (type == "moov" || type == "mdia" || type == "minf" || type == "stbl" ||
                       type == "edts") {
                self(self, at + header, at + size);
            } else if (type == "trak") {
                if (!trackDone) {
                    inTrack = true;
                    self(self, at + header, at + size);
                    inTrack = false;
                    trackDone = true;
                }
            } else if (type == "mvhd" && length >= 24) {
                movie.movieScale = Be32(body + (fullV1 ? 20 : 12));
            } else if (inTrack && type == "mdhd" && length >= 24) {
                movie.trackScale = Be32(body + (fullV1 ? 20 : 12));
            } else if (inTrack && type == "elst" && length >= 8) {
                const uint32_t count = Be32(body + 4);
                const size_t entry = fullV1 ? 20 : 12;
                for (uint32_t i = 0; i < count && 8 + (i + 1) * entry <= length; ++i) {
                    const uint8_t* e = body + 8 + i * entry;
                    movie.edits.push_back(fullV1 ? Edit{Be64(e), static_cast<int64_t>(Be64(e + 8))}
                                                 : Edit{Be32(e), static_cast<int32_t>(Be32(e + 4))});
                }
            } else if (inTrack && type == "stsz" && length >= 12) {
                const uint32_t fixed = Be32(body + 4), count = Be32(body + 8);
                for (uint32_t i = 0; i < count; ++i)
                    movie.sampleSizes.push_back(
                        fixed ? fixed : (12 + 4 * (i + 1) <= length ? Be32(body + 12 + 4 * i) : 0));
            } else if (inTrack && type == "stts" && length >= 8) {
                const uint32_t count = Be32(body + 4);
                for (uint32_t i = 0; i < count && 8 + 8 * (i + 1) <= length; ++i)
                    movie.sampleDurations.insert(movie.sampleDurations.end(), Be32(body + 8 + 8 * i),
                                                 Be32(body + 12 + 8 * i));
            } else if (inTrack && type == "stsd" && length >= 16) {
                const uint32_t entrySize = Be32(body + 8);
                if (8 + entrySize <= length) movie.sampleEntry.assign(body + 8, body + 8 + entrySize);
            }
            at += size;
        }
    };
    walk(walk, 0, file.size());
    if (movie.error.empty() && movie.movieScale == 0) movie.error = "no movie header";
    return movie;
}

}  // namespace mp4test
