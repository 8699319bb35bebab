// BIN/CUE disc images made in code for the CD tests: 16-bit little-endian stereo noise padded to whole
// 2352-byte sectors, optional pregaps (INDEX 00) and data tracks, and sheets in the shapes found in the wild
// (a BIN named unlike its sheet, a byte-order mark, lower-case keywords).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

constexpr long kCdSectorBytes = 2352;

struct CdTrackSpec {
    long frames = 588 * 100;  // audio frames of the track (a data track: frames / 588 sectors)
    bool audio = true;
    long pregapSectors = 0;  // INDEX 00 sectors stored in the BIN before INDEX 01
};

struct CdImageOptions {
    std::string binName;  // the BIN's file name; empty: "<stem>.bin"
    bool byteOrderMark = false;
    bool lowerCaseKeywords = false;
    bool sparse = false;  // zero audio in a sparse BIN (for large tables of contents)
    uint32_t seed = 1;
};

struct CdImage {
    std::filesystem::path cue;
    std::filesystem::path bin;
    std::vector<long> index1;  // INDEX 01 sector of each track
    std::vector<bool> audio;
    long totalSectors = 0;

    // Bytes a reader should get for track `i`: from its INDEX 01 to the next track's INDEX 01 (or the end).
    std::vector<uint8_t> TrackBytes(size_t i) const;
    // "<sheet>/TrackNN.cda" of track `i` (from 0).
    std::string TrackName(size_t i) const;
};

CdImage MakeCdImage(const std::filesystem::path& folder, const std::string& stem,
                    const std::vector<CdTrackSpec>& tracks, const CdImageOptions& options = {});

}  // namespace testsupport
