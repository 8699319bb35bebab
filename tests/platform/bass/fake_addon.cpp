// A minimal add-on for the host's tests. It decodes a toy format ("FAKE", rate, channels, frame count as
// little-endian u32, then float samples) through the host table, delivering at most 1000 bytes per
// procedure call and the end flag together with the last bytes, so the host's loop and flags are exercised.
#include <cstdint>
#include <cstring>

#include "platform/bass/bass_addon.h"

namespace {

struct Instance {
    BASSFILE file;
    DWORD rate;
    DWORD chans;
    QWORD frames;
    QWORD frame = 0;
    bool floatOut;
};

int offers = 0;

DWORD SampleBytes(const Instance* in) {
    return in->floatOut ? 4 : 2;
}

DWORD Proc(HSTREAM, void* buffer, DWORD length, void* user) {
    auto* in = static_cast<Instance*>(user);
    const DWORD frameBytes = in->chans * SampleBytes(in);
    QWORD n = (length < 1000 ? length : 1000) / frameBytes;
    if (n > in->frames - in->frame) n = in->frames - in->frame;
    if (n == 0) return BASS_STREAMPROC_END;
    float samples[1000];
    const DWORD floatBytes = static_cast<DWORD>(n * in->chans * 4);
    if (_.Read(in->file, samples, floatBytes) != floatBytes) return BASS_STREAMPROC_END;
    if (in->floatOut) {
        std::memcpy(buffer, samples, floatBytes);
    } else {
        _.FloatToInt(samples, buffer, floatBytes, 2);
    }
    in->frame += n;
    DWORD answer = static_cast<DWORD>(n * frameBytes);
    if (in->frame == in->frames) answer |= BASS_STREAMPROC_END;
    return answer;
}

void Free(void* inst) {
    delete static_cast<Instance*>(inst);
}

QWORD Length(void* inst, DWORD mode) {
    auto* in = static_cast<Instance*>(inst);
    if (mode != BASS_POS_BYTE) {
        _.SetError(BASS_ERROR_NOTAVAIL);
        return static_cast<QWORD>(-1);
    }
    return in->frames * in->chans * SampleBytes(in);
}

const char* Tags(void*, DWORD tags) {
    static const char block[] = "title=Fake title\0artist=Fake artist\0";
    return tags == BASS_TAG_OGG ? block : nullptr;
}

void Info(void*, BASS_CHANNELINFO* info) {
    info->ctype = 0xF8000000u + 0x10000u;
    info->origres = 24;
}

BOOL CanSetPosition(void* inst, QWORD pos, DWORD mode) {
    auto* in = static_cast<Instance*>(inst);
    if (mode != BASS_POS_BYTE || pos / (in->chans * SampleBytes(in)) >= in->frames) {
        _.SetError(BASS_ERROR_POSITION);
        return FALSE;
    }
    return TRUE;
}

QWORD SetPosition(void* inst, QWORD pos, DWORD) {
    auto* in = static_cast<Instance*>(inst);
    in->frame = pos / (in->chans * SampleBytes(in));
    _.Seek(in->file, 16 + in->frame * in->chans * 4);
    return pos;
}

const ADDON_FUNCTIONS kFunctions = {0, Free, Length, Tags, nullptr, Info, CanSetPosition, SetPosition, {}};

uint32_t Le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}

HSTREAM Create(BASSFILE file, DWORD flags) {
    ++offers;
    unsigned char head[16];
    if (_.Read(file, head, 16) != 16 || std::memcmp(head, "FAKE", 4) != 0) {
        _.SetError(BASS_ERROR_FILEFORM);
        return 0;
    }
    if (flags & BASS_SAMPLE_8BITS) {
        _.SetError(BASS_ERROR_ILLPARAM);
        return 0;
    }
    auto* in = new Instance{
        file, Le32(head + 4), Le32(head + 8), Le32(head + 12), 0, (flags & BASS_SAMPLE_FLOAT) != 0};
    const HSTREAM handle = _.CreateStream(in->rate, in->chans, flags & 0x3F24019D, Proc, in, &kFunctions);
    if (handle == 0) delete in;
    return handle;
}

const BASS_PLUGINFORM kForms[] = {{0x12345, "Fake audio", "*.fake"}};
const BASS_PLUGININFO kInfo = {0x02040000, 1, kForms};

}  // namespace

extern "C" {

__attribute__((visibility("default"))) const void* BASSplugin(DWORD face) {
#ifdef FAKE_ADDON_REFUSE
    if (face == BASSPLUGIN_INFO) return nullptr;
#endif
    switch (face) {
        case BASSPLUGIN_INFO:
            return &kInfo;
        case BASSPLUGIN_CREATE:
            return reinterpret_cast<const void*>(&Create);
        default:
            return nullptr;
    }
}

// Opens a user file through the host table and makes a stream of it, as an add-on's own create call does;
// the host file must then belong to the stream.
__attribute__((visibility("default"))) HSTREAM FAKE_StreamCreateFileUser(DWORD flags,
                                                                         const BASS_FILEPROCS* procs,
                                                                         void* user) {
    BASSFILE file = _.OpenUser(STREAMFILE_NOBUFFER, flags, procs, user, TRUE);
    if (file == nullptr) return 0;
    const HSTREAM handle = Create(file, flags);
    if (handle == 0) _.Close(file);
    return handle;
}

// How often the host offered a file to this add-on.
__attribute__((visibility("default"))) int FAKE_Offers() {
    return offers;
}

}  // extern "C"
