// Tracker module rendering; see music.h. Lengths with the prescan flag come from rendering the whole
// module once: libopenmpt's duration is in seconds and misses the exact frame count by rounding.
#include "platform/bass/music.h"

#include <libopenmpt/libopenmpt.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/bass/error.h"
#include "platform/bass/samples.h"

namespace bass {
namespace {

constexpr QWORD kMaxModuleBytes = 256u << 20;
// Longer songs (or damaged ones claiming hours) keep the estimate: the count renders the whole song once.
constexpr double kMaxCountSeconds = 1800.0;

openmpt_module* CreateModule(const std::vector<unsigned char>& bytes) {
    int error = 0;
    openmpt_module* module =
        openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr,
                                           openmpt_error_func_ignore, nullptr, &error, nullptr, nullptr);
    if (module == nullptr) return nullptr;
    // Without this, libopenmpt adds a short fade after the song's end, past the length it reports.
    openmpt_module_ctl_set_text(module, "play.at_end", "stop");
    return module;
}

DWORD ModuleType(openmpt_module* module) {
    const char* type = openmpt_module_get_metadata(module, "type");
    std::string t = type ? type : "";
    openmpt_free_string(type);
    if (t == "s3m") return BASS_CTYPE_MUSIC_S3M;
    if (t == "xm") return BASS_CTYPE_MUSIC_XM;
    if (t == "it") return BASS_CTYPE_MUSIC_IT;
    if (t == "mtm") return BASS_CTYPE_MUSIC_MTM;
    return BASS_CTYPE_MUSIC_MOD;
}

}  // namespace

std::shared_ptr<MusicChannel> MusicChannel::Load(HostFile& file, DWORD flags, DWORD freq) {
    if (freq < 1000 || freq > 384000) return Fail(BASS_ERROR_FORMAT, nullptr);
    if (!file.CanSeek() || file.Size() > kMaxModuleBytes) return Fail(BASS_ERROR_FILEFORM, nullptr);
    std::vector<unsigned char> bytes(static_cast<size_t>(file.Size()));
    if (file.Read(bytes.data(), bytes.size()) != bytes.size()) return Fail(BASS_ERROR_FILEOPEN, nullptr);
    openmpt_module* module = CreateModule(bytes);
    if (module == nullptr) return Fail(BASS_ERROR_FILEFORM, nullptr);
    auto music = std::make_shared<MusicChannel>(std::move(bytes), module, flags, freq);
    if (file.HasName()) music->SetFilename(file.Name());
    const double seconds = openmpt_module_get_duration_seconds(module);
    if ((flags & BASS_MUSIC_PRESCAN) && seconds < kMaxCountSeconds) {
        std::vector<float> block(4096 * 2);
        int64_t frames = 0;
        while (size_t n = music->Render(block.data(), 4096)) frames += static_cast<int64_t>(n);
        music->frames_ = frames;
        if (!music->Restart()) return Fail(BASS_ERROR_FILEFORM, nullptr);
    } else {
        music->frames_ =
            std::isfinite(seconds) && seconds > 0 && seconds < 1e7 ? std::llround(seconds * freq) : 0;
    }
    return music;
}

MusicChannel::MusicChannel(std::vector<unsigned char> bytes, openmpt_module* module, DWORD flags, DWORD freq)
    : Channel(freq, 2, flags), bytes_(std::move(bytes)), module_(module), ctype_(ModuleType(module)) {}

MusicChannel::~MusicChannel() {
    if (module_ != nullptr) openmpt_module_destroy(module_);
}

size_t MusicChannel::Render(float* dst, size_t frames) {
    if (module_ == nullptr) return 0;
    return openmpt_module_read_interleaved_float_stereo(module_, static_cast<int32_t>(freq_), frames, dst);
}

// A fresh module renders exactly as the first time did; seeking inside libopenmpt is only approximate.
bool MusicChannel::Restart() {
    if (module_ != nullptr) openmpt_module_destroy(module_);
    module_ = CreateModule(bytes_);
    return module_ != nullptr;
}

DWORD MusicChannel::GetData(void* buffer, DWORD length) {
    if (buffer == nullptr) return Fail(BASS_ERROR_ILLPARAM, kNoDword);
    if (ended_) return Fail(BASS_ERROR_ENDED, kNoDword);
    const size_t want = length / FrameBytes();
    const bool floatOut = flags_ & BASS_SAMPLE_FLOAT;
    // As for built-in streams: render straight into the caller's buffer only when it is aligned floats.
    const bool direct = floatOut && reinterpret_cast<uintptr_t>(buffer) % alignof(float) == 0;
    float* dst = direct ? static_cast<float*>(buffer) : nullptr;
    if (!direct) {
        if (scratch_.size() < want * 2) scratch_.resize(want * 2);
        dst = scratch_.data();
    }
    size_t got = 0;
    while (got < want) {
        const size_t n = Render(dst + got * 2, want - got);
        if (n == 0) break;
        got += n;
    }
    if (got < want) ended_ = true;
    if (got == 0 && want > 0) return Fail(BASS_ERROR_ENDED, kNoDword);
    if (floatOut) {
        if (!direct) std::memcpy(buffer, dst, got * 2 * sizeof(float));
    } else if (flags_ & BASS_SAMPLE_8BITS) {
        FloatToUint8(dst, buffer, got * 2);
    } else {
        FloatToInt16(dst, buffer, got * 2);
    }
    const DWORD bytes = static_cast<DWORD>(got * FrameBytes());
    position_ += bytes;
    SetError(BASS_OK);
    return bytes;
}

QWORD MusicChannel::GetLength(DWORD mode) {
    if (mode != BASS_POS_BYTE) return Fail(BASS_ERROR_NOTAVAIL, kNoQword);
    SetError(BASS_OK);
    return static_cast<QWORD>(frames_) * FrameBytes();
}

bool MusicChannel::SetPosition(QWORD pos, DWORD mode) {
    if (mode != BASS_POS_BYTE) return Fail(BASS_ERROR_NOTAVAIL, false);
    const QWORD target = pos / FrameBytes();
    if (target > static_cast<QWORD>(frames_) || !Restart()) return Fail(BASS_ERROR_POSITION, false);
    // Render up to the target and drop it: the only way to land on an exact frame.
    std::vector<float> block(4096 * 2);
    QWORD skipped = 0;
    while (skipped < target) {
        const size_t step = static_cast<size_t>(std::min<QWORD>(4096, target - skipped));
        const size_t n = Render(block.data(), step);
        if (n == 0) break;
        skipped += n;
    }
    position_ = skipped * FrameBytes();
    ended_ = false;
    SetError(BASS_OK);
    return true;
}

void MusicChannel::GetInfo(BASS_CHANNELINFO* info) {
    info->freq = freq_;
    info->chans = chans_;
    info->flags = flags_;
    info->ctype = ctype_;
    info->origres = 0;
    info->plugin = 0;
    info->sample = 0;
    info->filename = hasFilename_ ? filename_.c_str() : nullptr;
}

}  // namespace bass
