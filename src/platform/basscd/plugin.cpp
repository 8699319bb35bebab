// Entry points of the CD add-on: BASSplugin with its name face, and the BASS_CD_* calls.
#include <cstring>
#include <string>

#include "platform/basscd/basscd.h"
#include "platform/basscd/cd_stream.h"
#include "platform/basscd/cddb_query.h"
#include "platform/basscd/drives.h"

#define BASSCD_EXPORT extern "C" __attribute__((visibility("default")))

using namespace basscd;

namespace {

constexpr BASS_PLUGINFORM kFormats[] = {{BASS_CTYPE_STREAM_CD, "CD Audio", "*.cda"}};
constexpr BASS_PLUGININFO kPluginInfo = {BASSVERSIONFULL, 1, kFormats};

thread_local std::string tText;  // answers of BASS_CD_GetID
thread_local Drive tInfo;        // strings of BASS_CD_GetInfo

template <typename T>
T Fail(int error, T result) {
    _.SetError(error);
    return result;
}

HSTREAM CreateFromName(const char* name, DWORD flags) {
    std::string path;
    int index = 0;
    if (name == nullptr || !SplitTrackName(name, path, index)) return Fail(BASS_ERROR_FILEFORM, HSTREAM{0});
    const int drive = Drives::Get().Find(path);
    if (drive < 0) return Fail(BASS_ERROR_FILEOPEN, HSTREAM{0});
    return CdStream::Create(drive, index, flags);
}

std::unique_ptr<Disc> OpenDrive(DWORD drive) {
    const std::optional<Drive> entry = Drives::Get().At(static_cast<int>(drive));
    if (!entry) return Fail(BASS_ERROR_DEVICE, nullptr);
    std::string error;
    std::unique_ptr<Disc> disc = Disc::Open(entry->path, entry->image, error);
    if (!disc) return Fail(BASS_ERROR_NOCD, nullptr);
    return disc;
}

}  // namespace

BASSCD_EXPORT const void* BASSplugin(DWORD face) {
    switch (face) {
        case BASSPLUGIN_INFO:
            return &kPluginInfo;
        case BASSPLUGIN_CREATENAME:
            return reinterpret_cast<const void*>(&CreateFromName);
        default:
            return nullptr;  // no file face: the add-on never reads files other than its drives and images
    }
}

BASSCD_EXPORT BOOL BASS_CD_GetInfo(DWORD drive, BASS_CD_INFO* info) {
    if (info == nullptr) return Fail(BASS_ERROR_ILLPARAM, FALSE);
    if (!Drives::Get().At(static_cast<int>(drive))) return Fail(BASS_ERROR_DEVICE, FALSE);
    tInfo = Drives::Get().Identify(static_cast<int>(drive));
    info->vendor = tInfo.vendor.c_str();
    info->product = tInfo.model.c_str();
    info->rev = tInfo.revision.c_str();
    info->path = tInfo.path.c_str();
    info->image = tInfo.image ? TRUE : FALSE;
    _.SetError(BASS_OK);
    return TRUE;
}

BASSCD_EXPORT int BASS_CD_FindDrive(const char* path) {
    const int drive = path == nullptr ? -1 : Drives::Get().Find(path);
    if (drive < 0) return Fail(BASS_ERROR_DEVICE, -1);
    _.SetError(BASS_OK);
    return drive;
}

BASSCD_EXPORT BOOL BASS_CD_IsReady(DWORD drive) {
    if (!OpenDrive(drive)) return FALSE;
    _.SetError(BASS_OK);
    return TRUE;
}

BASSCD_EXPORT DWORD BASS_CD_GetTracks(DWORD drive) {
    std::unique_ptr<Disc> disc = OpenDrive(drive);
    if (!disc) return static_cast<DWORD>(-1);
    _.SetError(BASS_OK);
    return static_cast<DWORD>(disc->GetToc().tracks.size());
}

BASSCD_EXPORT DWORD BASS_CD_GetTrackLength(DWORD drive, DWORD track) {
    std::unique_ptr<Disc> disc = OpenDrive(drive);
    if (!disc) return static_cast<DWORD>(-1);
    const Toc& toc = disc->GetToc();
    if (track >= toc.tracks.size()) return Fail(BASS_ERROR_CDTRACK, static_cast<DWORD>(-1));
    if (!toc.tracks[track].audio) return Fail(BASS_ERROR_NOTAUDIO, static_cast<DWORD>(-1));
    _.SetError(BASS_OK);
    return static_cast<DWORD>(toc.TrackEnd(track) - toc.tracks[track].lsn) * kSectorBytes;
}

BASSCD_EXPORT const char* BASS_CD_GetID(DWORD drive, DWORD id) {
    if (id != BASS_CDID_CDDB && id != BASS_CDID_CDDB_READ) return Fail(BASS_ERROR_ILLTYPE, nullptr);
    std::unique_ptr<Disc> disc = OpenDrive(drive);
    if (!disc) return nullptr;
    tText = CddbQueryArguments(disc->GetToc());
    disc.reset();
    if (id == BASS_CDID_CDDB_READ) {
        // Lookups only with a server set; an empty setting switches them off.
        const auto* server = static_cast<const char*>(BASS_GetConfigPtr(BASS_CONFIG_CD_CDDB_SERVER));
        tText = (server != nullptr && *server != '\0') ? CddbLookup(server, tText) : std::string();
    }
    _.SetError(BASS_OK);
    return tText.c_str();
}

BASSCD_EXPORT BOOL BASS_CD_GetTOC(DWORD drive, DWORD mode, BASS_CD_TOC* out) {
    if (out == nullptr || mode != BASS_CD_TOC_LBA) return Fail(BASS_ERROR_ILLPARAM, FALSE);
    std::unique_ptr<Disc> disc = OpenDrive(drive);
    if (!disc) return FALSE;
    const Toc& toc = disc->GetToc();
    *out = BASS_CD_TOC{};
    const size_t n = toc.tracks.size();  // at most 99
    out->first = static_cast<BYTE>(toc.firstNumber);
    out->last = static_cast<BYTE>(toc.firstNumber + n - 1);
    out->size = static_cast<WORD>(2 + (n + 1) * sizeof(BASS_CD_TOC_TRACK));
    for (size_t i = 0; i < n; ++i) {
        out->tracks[i].track = static_cast<BYTE>(toc.firstNumber + i);
        out->tracks[i].adrcon = 0x10 | (toc.tracks[i].audio ? 0 : BASS_CD_TOC_CON_DATA);
        out->tracks[i].lba = static_cast<DWORD>(toc.tracks[i].lsn);
    }
    out->tracks[n].track = 0xAA;
    out->tracks[n].adrcon = 0x10;
    out->tracks[n].lba = static_cast<DWORD>(toc.leadout);
    _.SetError(BASS_OK);
    return TRUE;
}

BASSCD_EXPORT HSTREAM BASS_CD_StreamCreate(DWORD drive, DWORD track, DWORD flags) {
    return CdStream::Create(static_cast<int>(drive), static_cast<int>(track), flags & ~BASS_UNICODE);
}

BASSCD_EXPORT HSTREAM BASS_CD_StreamCreateFile(const char* file, DWORD flags) {
    return CreateFromName(file, flags & ~BASS_UNICODE);
}

BASSCD_EXPORT DWORD BASS_CD_StreamGetTrack(HSTREAM handle) {
    int drive = 0, index = 0;
    if (!CdStream::TrackOf(handle, drive, index)) return Fail(BASS_ERROR_HANDLE, static_cast<DWORD>(-1));
    _.SetError(BASS_OK);
    return (static_cast<DWORD>(drive) << 16) | static_cast<DWORD>(index);
}

BASSCD_EXPORT BOOL BASS_CD_SetCddbLimits(DWORD connectMs, DWORD totalMs, DWORD maxReplyBytes) {
    if (connectMs == 0 || totalMs == 0 || maxReplyBytes == 0) return Fail(BASS_ERROR_ILLPARAM, FALSE);
    CddbLimits limits;
    limits.connectMs = static_cast<long>(connectMs);
    limits.totalMs = static_cast<long>(totalMs);
    limits.maxReply = maxReplyBytes;
    SetCddbLimits(limits);
    _.SetError(BASS_OK);
    return TRUE;
}
