// The host function table `_` that add-ons import: error setting, stream creation, host file access and
// the float-to-integer conversion, each at its fixed entry number.
#include <cstddef>

#include "platform/bass/addon_stream.h"
#include "platform/bass/error.h"
#include "platform/bass/host.h"
#include "platform/bass/samples.h"

namespace bass {
namespace {

void HostSetError(int error) {
    SetError(error);
}

BASSFILE HostOpenFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD, BOOL) {
    auto f = mem ? HostFile::OpenMemory(file, length)
                 : HostFile::OpenPath(static_cast<const char*>(file), offset, length);
    if (!f) return nullptr;
    SetError(BASS_OK);
    return Host::Get().AddFile(std::move(f));
}

BASSFILE HostOpenURL(const char*, DWORD, DWORD, DOWNLOADPROC*, void*, BOOL) {
    return Fail(BASS_ERROR_NOTAVAIL, nullptr);  // no network access in this host
}

BASSFILE HostOpenUser(DWORD system, DWORD, const BASS_FILEPROCS* procs, void* user, BOOL) {
    auto f = HostFile::OpenUser(system, procs, user);
    if (!f) return nullptr;
    SetError(BASS_OK);
    return Host::Get().AddFile(std::move(f));
}

// Host files are looked up before closing, so a double close from an add-on is harmless.
void HostClose(BASSFILE file) {
    Host::Get().CloseFile(file);
}

HostFile* AsFile(BASSFILE file) {
    return static_cast<HostFile*>(file);
}

const void* HostGetFileName(BASSFILE file, BOOL* unicode) {
    if (file == nullptr || !AsFile(file)->HasName()) return nullptr;
    if (unicode != nullptr) *unicode = TRUE;  // names are UTF-8 here, which the flag stands for
    return AsFile(file)->Name().c_str();
}

DWORD HostGetFlags(BASSFILE file) {
    return file ? AsFile(file)->Flags() : 0;
}

DWORD HostRead(BASSFILE file, void* buffer, DWORD length) {
    return file ? static_cast<DWORD>(AsFile(file)->Read(buffer, length)) : 0;
}

BOOL HostSeek(BASSFILE file, QWORD pos) {
    return file && AsFile(file)->Seek(pos) ? TRUE : FALSE;
}

QWORD HostGetPos(BASSFILE file, DWORD mode) {
    if (file == nullptr) return kNoQword;
    switch (mode) {
        case BASS_FILEPOS_CURRENT:
            return AsFile(file)->Position();
        case BASS_FILEPOS_SIZE:
            return AsFile(file)->Size();
        default:
            return Fail(BASS_ERROR_ILLTYPE, kNoQword);
    }
}

void HostFloatToInt(const float* src, void* dst, DWORD floatBytes, DWORD res) {
    if (src == nullptr || dst == nullptr) return;
    const size_t count = floatBytes / sizeof(float);
    if (res == 1) {
        FloatToUint8(src, dst, count);
    } else if (res == 2) {
        FloatToInt16(src, dst, count);
    }
}

}  // namespace
}  // namespace bass

extern "C" const BASS_FUNCTIONS _ = {
    bass::HostSetError,    nullptr,           bass::CreateAddonStream, {},
    bass::HostOpenFile,    bass::HostOpenURL, bass::HostOpenUser,      bass::HostClose,
    bass::HostGetFileName, nullptr,           bass::HostGetFlags,      nullptr,
    bass::HostRead,        bass::HostSeek,    bass::HostGetPos,        {},
    bass::HostFloatToInt,
};

#define ENTRY_AT(field, n) static_assert(offsetof(BASS_FUNCTIONS, field) == (n) * sizeof(void*), #field)
ENTRY_AT(SetError, 0);
ENTRY_AT(CreateStream, 2);
ENTRY_AT(OpenFile, 10);
ENTRY_AT(OpenURL, 11);
ENTRY_AT(OpenUser, 12);
ENTRY_AT(Close, 13);
ENTRY_AT(GetFileName, 14);
ENTRY_AT(GetFlags, 16);
ENTRY_AT(Read, 18);
ENTRY_AT(Seek, 19);
ENTRY_AT(GetPos, 20);
ENTRY_AT(FloatToInt, 25);
static_assert(sizeof(BASS_FUNCTIONS) == 26 * sizeof(void*));
