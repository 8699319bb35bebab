// The exported BASS_* calls: library set-up, plug-ins, stream and music creation, and the per-channel
// operations, each answering through the calling thread's error code.
#include <cmath>
#include <mutex>

#include "platform/bass/decoder_stream.h"
#include "platform/bass/error.h"
#include "platform/bass/host.h"
#include "platform/bass/music.h"
#include "platform/bass/plugins.h"

using namespace bass;

namespace {

// Built-in decoders in the order they probe: the ones with unambiguous signatures before MPEG audio,
// whose frame sync could otherwise match inside other formats.
using Opener = std::unique_ptr<Decoder> (*)(HostFile&);
constexpr Opener kBuiltins[] = {OpenSndfileDecoder, OpenVorbisDecoder, OpenMpegDecoder};

std::unique_ptr<HostFile> OpenInput(BOOL mem, const void* file, QWORD offset, QWORD length) {
    // Memory inputs are the block itself: the offset only applies to files.
    return mem ? HostFile::OpenMemory(file, length)
               : HostFile::OpenPath(static_cast<const char*>(file), offset, length);
}

HSTREAM CreateFromHostFile(std::unique_ptr<HostFile> file, DWORD flags) {
    // Every stream is decode-only here (there is no output device), whether or not the flag was given.
    flags &= ~BASS_UNICODE;
    if (file->CanSeek()) {
        for (Opener open : kBuiltins) {
            auto decoder = open(*file);
            if (!decoder) continue;
            // Integers were asked for and this is the file's decoder: it has to deliver them itself.
            if ((flags & BASS_SAMPLE_INT32) && !decoder->CanReadInt32()) return Fail(BASS_ERROR_FORMAT, 0);
            auto stream = std::make_shared<DecoderStream>(std::move(file), std::move(decoder), flags);
            const HSTREAM handle = Host::Get().Register(std::move(stream));
            SetError(BASS_OK);
            return handle;
        }
        if (!file->Seek(0)) return Fail(BASS_ERROR_FILEOPEN, 0);
    }
    return OfferToPlugins(std::move(file), flags);
}

// Runs `op` on a channel under its lock; unknown handles answer `failure` with the handle error.
template <typename T, typename Op>
T WithChannel(DWORD handle, T failure, Op op) {
    auto channel = Host::Get().Find(handle);
    if (!channel) return Fail(BASS_ERROR_HANDLE, failure);
    std::lock_guard lock(channel->Lock());
    return op(*channel);
}

}  // namespace

extern "C" {

BOOL BASS_Init(int, DWORD freq, DWORD, void*, const void*) {
    if (Host::Get().Initialised()) return Fail(BASS_ERROR_ALREADY, FALSE);
    Host::Get().SetInitRate(freq == 0 ? 44100 : freq, true);
    SetError(BASS_OK);
    return TRUE;
}

BOOL BASS_Free(void) {
    // Channels first (add-on streams call into their libraries while freeing), then stray host files,
    // then the libraries themselves.
    Host::Get().RemoveAllChannels().clear();
    Host::Get().CloseAllFiles();
    FreeAllPlugins();
    Host::Get().SetInitRate(44100, false);
    SetError(BASS_OK);
    return TRUE;
}

DWORD BASS_GetVersion(void) {
    SetError(BASS_OK);
    return BASSVERSIONFULL | 0x0011;
}

int BASS_ErrorGetCode(void) {
    return GetError();
}

BOOL BASS_SetConfigPtr(DWORD option, const void* value) {
    if ((option & ~BASS_UNICODE) != BASS_CONFIG_CD_CDDB_SERVER) return Fail(BASS_ERROR_ILLTYPE, FALSE);
    Host::Get().SetCddbServer(static_cast<const char*>(value));
    SetError(BASS_OK);
    return TRUE;
}

const void* BASS_GetConfigPtr(DWORD option) {
    if ((option & ~BASS_UNICODE) != BASS_CONFIG_CD_CDDB_SERVER) return Fail(BASS_ERROR_ILLTYPE, nullptr);
    SetError(BASS_OK);
    return Host::Get().CddbServer();
}

HPLUGIN BASS_PluginLoad(const char* file, DWORD) {
    return LoadPlugin(file);
}

BOOL BASS_PluginFree(HPLUGIN handle) {
    return FreePlugin(handle) ? TRUE : FALSE;
}

const BASS_PLUGININFO* BASS_PluginGetInfo(HPLUGIN handle) {
    for (const auto& p : Host::Get().Plugins()) {
        if (p.handle == handle) {
            SetError(BASS_OK);
            return p.info;
        }
    }
    return Fail(BASS_ERROR_HANDLE, nullptr);
}

HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags) {
    auto input = OpenInput(mem, file, offset, length);
    if (!input) {
        // A name that is no regular file may still be something an add-on reads by name (a CD track
        // inside a device or image); only add-ons asking for such names see it.
        if (mem || file == nullptr || *static_cast<const char*>(file) == '\0') return 0;
        return OfferNameToPlugins(static_cast<const char*>(file), flags & ~BASS_UNICODE);
    }
    return CreateFromHostFile(std::move(input), flags);
}

HSTREAM BASS_StreamCreateFileUser(DWORD system, DWORD flags, const BASS_FILEPROCS* procs, void* user) {
    auto input = HostFile::OpenUser(system, procs, user);
    if (!input) return 0;
    return CreateFromHostFile(std::move(input), flags);
}

HSTREAM BASS_StreamCreateURL(const char*, DWORD, DWORD, DOWNLOADPROC*, void*) {
    return Fail(BASS_ERROR_NOTAVAIL, 0);  // no network access in this host
}

BOOL BASS_StreamFree(HSTREAM handle) {
    auto channel = Host::Get().Find(handle);
    if (!channel || channel->IsMusic()) return Fail(BASS_ERROR_HANDLE, FALSE);
    Host::Get().Remove(handle).reset();
    SetError(BASS_OK);
    return TRUE;
}

HMUSIC BASS_MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags, DWORD freq) {
    auto input = OpenInput(mem, file, offset, length);
    if (!input) return 0;
    auto music = MusicChannel::Load(*input, flags & ~BASS_UNICODE, freq != 0 ? freq : Host::Get().InitRate());
    if (!music) return 0;
    const HMUSIC handle = Host::Get().Register(std::move(music));
    SetError(BASS_OK);
    return handle;
}

BOOL BASS_MusicFree(HMUSIC handle) {
    auto channel = Host::Get().Find(handle);
    if (!channel || !channel->IsMusic()) return Fail(BASS_ERROR_HANDLE, FALSE);
    Host::Get().Remove(handle).reset();
    SetError(BASS_OK);
    return TRUE;
}

BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info) {
    if (info == nullptr) return Fail(BASS_ERROR_ILLPARAM, FALSE);
    return WithChannel(handle, FALSE, [&](Channel& c) {
        c.GetInfo(info);
        SetError(BASS_OK);
        return TRUE;
    });
}

QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode) {
    return WithChannel(handle, kNoQword, [&](Channel& c) { return c.GetLength(mode); });
}

QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode) {
    return WithChannel(handle, kNoQword, [&](Channel& c) {
        const QWORD pos = c.GetPosition(mode);
        if (pos != kNoQword) SetError(BASS_OK);
        return pos;
    });
}

BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode) {
    return WithChannel(handle, FALSE, [&](Channel& c) { return c.SetPosition(pos, mode) ? TRUE : FALSE; });
}

double BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos) {
    return WithChannel(handle, -1.0, [&](Channel& c) {
        SetError(BASS_OK);
        return static_cast<double>(pos) / (static_cast<double>(c.Freq()) * c.FrameBytes());
    });
}

QWORD BASS_ChannelSeconds2Bytes(DWORD handle, double pos) {
    return WithChannel(handle, kNoQword, [&](Channel& c) {
        if (!(pos >= 0.0) || pos > 1e9) return Fail(BASS_ERROR_ILLPARAM, kNoQword);
        SetError(BASS_OK);
        // Whole frames; the tiny bias keeps e.g. 1.001 s x 8000 Hz (8007.999999999999) from losing a frame.
        return static_cast<QWORD>(std::floor(pos * c.Freq() + 1e-7)) * c.FrameBytes();
    });
}

BOOL BASS_ChannelGetAttribute(DWORD handle, DWORD attrib, float* value) {
    return WithChannel(handle, FALSE, [&](Channel& c) {
        if (attrib != BASS_ATTRIB_FREQ) return Fail(BASS_ERROR_ILLTYPE, FALSE);
        if (value == nullptr) return Fail(BASS_ERROR_ILLPARAM, FALSE);
        *value = static_cast<float>(c.Freq());
        SetError(BASS_OK);
        return TRUE;
    });
}

DWORD BASS_ChannelIsActive(DWORD handle) {
    return WithChannel(handle, static_cast<DWORD>(BASS_ACTIVE_STOPPED), [&](Channel& c) {
        SetError(BASS_OK);
        return c.IsActive();
    });
}

DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length) {
    // The top bits would be BASS_DATA_* request flags (FFT, float conversion...), which this host does
    // not offer; taken as a byte count they would overrun the caller's buffer.
    if (length & 0xF0000000) return Fail(BASS_ERROR_ILLPARAM, kNoDword);
    return WithChannel(handle, kNoDword, [&](Channel& c) { return c.GetData(buffer, length); });
}

const char* BASS_ChannelGetTags(DWORD handle, DWORD tags) {
    return WithChannel(handle, static_cast<const char*>(nullptr),
                       [&](Channel& c) { return c.GetTags(tags); });
}

}  // extern "C"
