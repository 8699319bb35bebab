// Built-in decoder streams; see decoder_stream.h.
#include "platform/bass/decoder_stream.h"

#include <cstdint>
#include <cstring>

#include "platform/bass/error.h"
#include "platform/bass/samples.h"

namespace bass {

DecoderStream::DecoderStream(std::unique_ptr<HostFile> file, std::unique_ptr<Decoder> decoder, DWORD flags)
    : Channel(decoder->rate, decoder->chans, flags),
      file_(std::move(file)),
      decoder_(std::move(decoder)),
      frames_(decoder_->Frames()) {
    hasFilename_ = file_->HasName();
    filename_ = file_->Name();
}

DWORD DecoderStream::GetData(void* buffer, DWORD length) {
    if (buffer == nullptr) return Fail(BASS_ERROR_ILLPARAM, kNoDword);
    if (ended_) return Fail(BASS_ERROR_ENDED, kNoDword);
    size_t want = length / FrameBytes();
    if (frames_ >= 0) {
        const int64_t left = frames_ > frame_ ? frames_ - frame_ : 0;
        if (static_cast<int64_t>(want) > left) want = static_cast<size_t>(left);
    }
    const bool int32Out = flags_ & BASS_SAMPLE_INT32;
    const bool floatOut = !int32Out && (flags_ & BASS_SAMPLE_FLOAT);
    size_t got = 0;
    // Float and 32-bit integer output go straight into the caller's buffer when it is aligned for them;
    // otherwise the samples go through scratch and are converted or copied from there.
    const bool direct = (floatOut || int32Out) && reinterpret_cast<uintptr_t>(buffer) % alignof(float) == 0;
    void* dst = nullptr;
    if (direct) {
        dst = buffer;
    } else {
        if (scratch_.size() < want * chans_) scratch_.resize(want * chans_);
        dst = scratch_.data();
    }
    while (got < want) {
        const size_t n = int32Out ? decoder_->ReadInt32(static_cast<int32_t*>(dst) + got * chans_, want - got)
                                  : decoder_->Read(static_cast<float*>(dst) + got * chans_, want - got);
        if (n == 0) break;
        got += n;
    }
    if (got == 0 && length >= FrameBytes()) {
        ended_ = true;
        return Fail(BASS_ERROR_ENDED, kNoDword);
    }
    if (got < want) ended_ = true;
    if (frames_ >= 0 && frame_ + static_cast<int64_t>(got) >= frames_) ended_ = true;
    if (floatOut || int32Out) {
        if (!direct) std::memcpy(buffer, dst, got * chans_ * 4);
    } else if (flags_ & BASS_SAMPLE_8BITS) {
        FloatToUint8(dst, buffer, got * chans_);
    } else {
        FloatToInt16(dst, buffer, got * chans_);
    }
    frame_ += static_cast<int64_t>(got);
    const DWORD bytes = static_cast<DWORD>(got * FrameBytes());
    position_ += bytes;
    SetError(BASS_OK);
    return bytes;
}

QWORD DecoderStream::GetLength(DWORD mode) {
    if (mode != BASS_POS_BYTE) return Fail(BASS_ERROR_NOTAVAIL, kNoQword);
    if (frames_ < 0) return Fail(BASS_ERROR_NOTAVAIL, kNoQword);
    SetError(BASS_OK);
    return static_cast<QWORD>(frames_) * FrameBytes();
}

bool DecoderStream::SetPosition(QWORD pos, DWORD mode) {
    if (mode != BASS_POS_BYTE) return Fail(BASS_ERROR_NOTAVAIL, false);
    const QWORD frame = pos / FrameBytes();
    if ((frames_ >= 0 && frame > static_cast<QWORD>(frames_)) || !decoder_->Seek(static_cast<int64_t>(frame)))
        return Fail(BASS_ERROR_POSITION, false);
    frame_ = static_cast<int64_t>(frame);
    position_ = frame * FrameBytes();
    ended_ = false;
    SetError(BASS_OK);
    return true;
}

void DecoderStream::GetInfo(BASS_CHANNELINFO* info) {
    info->freq = freq_;
    info->chans = chans_;
    info->flags = flags_;
    info->ctype = decoder_->ctype;
    info->origres = decoder_->origres;
    info->plugin = 0;
    info->sample = 0;
    info->filename = hasFilename_ ? filename_.c_str() : nullptr;
}

const char* DecoderStream::GetTags(DWORD type) {
    const char* tags = decoder_->Tags(type);
    if (tags == nullptr) return Fail(BASS_ERROR_NOTAVAIL, nullptr);
    SetError(BASS_OK);
    return tags;
}

}  // namespace bass
