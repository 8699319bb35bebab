// CD drives and track names over the CD add-on; see cddrives.h.
#include "decoder/cddrives.h"

#include <sys/stat.h>

#include <cstdio>

#include "platform/basscd/basscd.h"
#include "decoder/decoder_util.h"
#include "decoder/reader.h"

namespace {

bool ReadToc(int drive, BASS_CD_TOC& toc, int& count) {
    if (drive < 0 || !BASS_CD_GetTOC(static_cast<DWORD>(drive), BASS_CD_TOC_LBA, &toc)) return false;
    count = (toc.size - 2) / static_cast<int>(sizeof(BASS_CD_TOC_TRACK)) - 1;
    return count > 0 && count < 100;
}

}  // namespace

std::vector<CDDriveInfo> ListCDDrives() {
    std::vector<CDDriveInfo> drives;
    BASS_CD_INFO info{};
    for (DWORD drive = 0; BASS_CD_GetInfo(drive, &info); ++drive) {
        if (info.image) continue;
        CDDriveInfo entry;
        entry.device = info.path;
        entry.vendor = info.vendor;
        entry.model = info.product;
        BASS_CD_TOC toc{};
        int count = 0;
        if (ReadToc(static_cast<int>(drive), toc, count)) {
            entry.hasDisc = true;
            long sectors = 0;
            for (int i = 0; i < count; ++i) {
                if (toc.tracks[i].adrcon & BASS_CD_TOC_CON_DATA) continue;
                ++entry.audioTracks;
                sectors += static_cast<long>(toc.tracks[i + 1].lba) - static_cast<long>(toc.tracks[i].lba);
            }
            entry.seconds = static_cast<int>(sectors / 75);
        }
        drives.push_back(std::move(entry));
    }
    return drives;
}

bool IsCDContainer(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    if (S_ISBLK(st.st_mode)) return true;
    return S_ISREG(st.st_mode) && decoder_util::LowerAscii(ExtractFileExt(path)) == ".cue";
}

std::vector<std::string> CDTrackNames(const std::string& path) {
    std::vector<std::string> names;
    if (!IsCDContainer(path)) return names;
    BASS_CD_TOC toc{};
    int count = 0;
    if (!ReadToc(BASS_CD_FindDrive(path.c_str()), toc, count)) return names;
    std::string base = path;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    for (int i = 0; i < count; ++i) {
        if (toc.tracks[i].adrcon & BASS_CD_TOC_CON_DATA) continue;
        char file[32];
        std::snprintf(file, sizeof file, "/Track%02d.cda", i + 1);
        names.push_back(base + file);
    }
    return names;
}

bool IsTrackOfCDContainer(const std::string& name) {
    const size_t slash = name.rfind('/');
    if (slash == std::string::npos || slash == 0) return false;
    const std::string file = decoder_util::LowerAscii(name.substr(slash + 1));
    if (file.size() < 10 || file.compare(0, 5, "track") != 0 || file.compare(file.size() - 4, 4, ".cda") != 0)
        return false;
    for (size_t i = 5; i + 4 < file.size(); ++i)
        if (file[i] < '0' || file[i] > '9') return false;
    return IsCDContainer(name.substr(0, slash));
}
