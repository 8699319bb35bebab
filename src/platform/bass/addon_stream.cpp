// Add-on streams; see addon_stream.h.
#include "platform/bass/addon_stream.h"

#include "platform/bass/error.h"
#include "platform/bass/host.h"

namespace bass {

AddonStream::AddonStream(DWORD freq, DWORD chans, DWORD flags, STREAMPROC* proc, void* inst,
                         const ADDON_FUNCTIONS* funcs, HPLUGIN plugin)
    : Channel(freq, chans, flags), proc_(proc), inst_(inst), funcs_(funcs), plugin_(plugin) {}

AddonStream::~AddonStream() {
    if (funcs_ != nullptr && funcs_->Free != nullptr) funcs_->Free(inst_);
    Host::Get().CloseFilesOf(handle_);
}

DWORD AddonStream::GetData(void* buffer, DWORD length) {
    if (buffer == nullptr) return Fail(BASS_ERROR_ILLPARAM, kNoDword);
    if (ended_) return Fail(BASS_ERROR_ENDED, kNoDword);
    auto* out = static_cast<unsigned char*>(buffer);
    DWORD done = 0;
    while (done < length) {
        const DWORD answer = proc_(handle_, out + done, length - done, inst_);
        DWORD n = answer & ~BASS_STREAMPROC_END;
        if (n > length - done) n = length - done;  // never trust a count past the request
        done += n;
        // A decode-only stream has nobody to wait for: a procedure that delivers nothing has ended, even
        // without the end flag (otherwise a reader would spin forever).
        if ((answer & BASS_STREAMPROC_END) || n == 0) {
            ended_ = true;
            break;
        }
    }
    if (done == 0 && ended_) return Fail(BASS_ERROR_ENDED, kNoDword);
    position_ += done;
    SetError(BASS_OK);
    return done;
}

QWORD AddonStream::GetLength(DWORD mode) {
    if (funcs_ == nullptr || funcs_->GetLength == nullptr) return Fail(BASS_ERROR_NOTAVAIL, kNoQword);
    SetError(BASS_OK);
    const QWORD length = funcs_->GetLength(inst_, mode);
    if (length == kNoQword) {
        if (GetError() == BASS_OK) SetError(BASS_ERROR_NOTAVAIL);
        return kNoQword;
    }
    SetError(BASS_OK);
    return length;
}

bool AddonStream::SetPosition(QWORD pos, DWORD mode) {
    if (funcs_ == nullptr || funcs_->SetPosition == nullptr) return Fail(BASS_ERROR_NOTAVAIL, false);
    SetError(BASS_OK);
    if (funcs_->CanSetPosition != nullptr && !funcs_->CanSetPosition(inst_, pos, mode)) {
        if (GetError() == BASS_OK) SetError(BASS_ERROR_POSITION);
        return false;
    }
    const QWORD now = funcs_->SetPosition(inst_, pos, mode);
    if (now == kNoQword) {
        if (GetError() == BASS_OK) SetError(BASS_ERROR_POSITION);
        return false;
    }
    position_ = pos;
    ended_ = false;
    SetError(BASS_OK);
    return true;
}

void AddonStream::GetInfo(BASS_CHANNELINFO* info) {
    info->freq = freq_;
    info->chans = chans_;
    info->flags = flags_;
    info->ctype = BASS_CTYPE_STREAM;
    info->origres = 0;
    info->plugin = plugin_;
    info->sample = 0;
    info->filename = hasFilename_ ? filename_.c_str() : nullptr;
    if (funcs_ != nullptr && funcs_->GetInfo != nullptr) funcs_->GetInfo(inst_, info);
}

const char* AddonStream::GetTags(DWORD type) {
    const char* tags =
        (funcs_ != nullptr && funcs_->GetTags != nullptr) ? funcs_->GetTags(inst_, type) : nullptr;
    if (tags == nullptr) return Fail(BASS_ERROR_NOTAVAIL, nullptr);
    SetError(BASS_OK);
    return tags;
}

HSTREAM CreateAddonStream(DWORD freq, DWORD chans, DWORD flags, STREAMPROC* proc, void* inst,
                          const ADDON_FUNCTIONS* funcs) {
    if (proc == nullptr) return Fail(BASS_ERROR_ILLPARAM, 0);
    // Rates and channel counts an add-on could not determine arrive as 0 or -1.
    if (freq == 0 || freq > 1000000 || chans == 0 || chans > 64) return Fail(BASS_ERROR_FORMAT, 0);
    flags &= ~BASS_UNICODE;
    auto stream =
        std::make_shared<AddonStream>(freq, chans, flags, proc, inst, funcs,
                                      Host::Get().PluginOfAddress(reinterpret_cast<const void*>(proc)));
    AddonStream* raw = stream.get();
    const HSTREAM handle = Host::Get().Register(std::move(stream));
    const std::string name = Host::Get().AttachPending(handle);
    if (!name.empty()) raw->SetFilename(name);
    SetError(BASS_OK);
    return handle;
}

}  // namespace bass
