// Disc images for the CD tests; see cd_image.h.
#include "support/cd_image.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "support/audio_fixtures.h"

namespace testsupport {
namespace {

std::string Msf(long sectors) {
    char text[32];
    std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", sectors / 4500, sectors / 75 % 60, sectors % 75);
    return text;
}

}  // namespace

std::vector<uint8_t> CdImage::TrackBytes(size_t i) const {
    const long start = index1.at(i);
    const long end = i + 1 < index1.size() ? index1[i + 1] : totalSectors;
    std::ifstream in(bin, std::ios::binary);
    std::vector<uint8_t> bytes(static_cast<size_t>((end - start) * kCdSectorBytes));
    in.seekg(start * kCdSectorBytes);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!in) throw std::runtime_error("short BIN");
    return bytes;
}

std::string CdImage::TrackName(size_t i) const {
    char name[32];
    std::snprintf(name, sizeof name, "/Track%02zu.cda", i + 1);
    return cue.string() + name;
}

CdImage MakeCdImage(const std::filesystem::path& folder, const std::string& stem,
                    const std::vector<CdTrackSpec>& tracks, const CdImageOptions& options) {
    CdImage image;
    image.cue = folder / (stem + ".cue");
    image.bin = folder / (options.binName.empty() ? stem + ".bin" : options.binName);
    std::ofstream bin(image.bin, std::ios::binary | std::ios::trunc);
    const PcmSpec spec{44100, 2, SampleKind::S16};
    auto kw = [&](const std::string& keyword) {
        if (!options.lowerCaseKeywords) return keyword;
        std::string lower = keyword;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return lower;
    };
    std::string sheet = options.byteOrderMark ? "\xEF\xBB\xBF" : "";
    sheet +=
        "REM GENRE Test\n" + kw("FILE") + " \"" + image.bin.filename().string() + "\" " + kw("BINARY") + "\n";
    long sector = 0;
    uint32_t seed = options.seed;
    for (size_t t = 0; t < tracks.size(); ++t) {
        const CdTrackSpec& track = tracks[t];
        char number[24];
        std::snprintf(number, sizeof number, "%02zu", t + 1);
        sheet += "  " + kw("TRACK") + " " + number + " " +
                 (track.audio ? kw("AUDIO") : std::string("MODE1/2352")) + "\n";
        if (track.pregapSectors > 0) sheet += "    " + kw("INDEX") + " 00 " + Msf(sector) + "\n";
        const long sectors = track.pregapSectors + (track.frames + 587) / 588;
        sheet += "    " + kw("INDEX") + " 01 " + Msf(sector + track.pregapSectors) + "\n";
        image.index1.push_back(sector + track.pregapSectors);
        image.audio.push_back(track.audio);
        if (!options.sparse) {
            // Noise over the pregap and the track, the last sector padded with silence.
            std::vector<uint8_t> pcm = NoisePcm(spec, track.pregapSectors * 588 + track.frames, seed++);
            pcm.resize(static_cast<size_t>(sectors * kCdSectorBytes), 0);
            bin.write(reinterpret_cast<const char*>(pcm.data()), static_cast<std::streamsize>(pcm.size()));
        }
        sector += sectors;
    }
    image.totalSectors = sector;
    bin.close();
    if (options.sparse)
        std::filesystem::resize_file(image.bin, static_cast<uintmax_t>(sector * kCdSectorBytes));
    std::ofstream(image.cue, std::ios::binary | std::ios::trunc) << sheet;
    return image;
}

}  // namespace testsupport
