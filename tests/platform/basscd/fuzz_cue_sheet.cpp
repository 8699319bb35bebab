// Fuzz entry point: a cue sheet of any content beside a small BIN, opened as an image the way a CD track
// stream opens it (the sheet reader, the normalised copy, libcdio), then its first sector read.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/basscd/disc.h"

namespace {

struct Folder {
    Folder() {
        char pattern[] = "/tmp/fuzz-cue-XXXXXX";
        path = mkdtemp(pattern);
        std::vector<char> sectors(2352 * 40, 1);
        FILE* bin = std::fopen((path + "/disc.bin").c_str(), "wb");
        std::fwrite(sectors.data(), 1, sectors.size(), bin);
        std::fclose(bin);
    }
    ~Folder() { std::filesystem::remove_all(path); }
    std::string path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Folder folder;
    const std::string sheet = folder.path + "/disc.cue";
    FILE* file = std::fopen(sheet.c_str(), "wb");
    if (file == nullptr) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    std::string error;
    std::unique_ptr<basscd::Disc> disc = basscd::Disc::Open(sheet, true, error);
    if (disc) {
        std::vector<uint8_t> sector(2352);
        const basscd::Toc& toc = disc->GetToc();
        if (!toc.tracks.empty() && toc.tracks[0].lsn < toc.leadout)
            cdio_read_audio_sectors(disc->Handle(), sector.data(), toc.tracks[0].lsn, 1);
    }
    return 0;
}
