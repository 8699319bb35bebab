// The streaming compressor behind the C calls.
#include "platform/mac/compressor.h"

#include <algorithm>
#include <filesystem>
#include <new>

#include "platform/mac/macdll.h"

namespace mac {

namespace {

// Seek-table entries and sizes are 32-bit: no more input than this is taken.
constexpr uint64_t kFormatLimit = UINT32_MAX;

}  // namespace

template <typename Step>
void Compressor::Guarded(Step step) {
    if (state_ == State::kFailed) throw Error{failure_};
    try {
        step();
    } catch (const Error& error) {
        failure_ = error.code;
    } catch (const std::bad_alloc&) {
        failure_ = MAC_ERROR_OUT_OF_MEMORY;
    }
    if (failure_ == 0) return;
    state_ = State::kFailed;
    output_.Remove();
    spool_.Close();
    encoder_.reset();
    std::vector<uint8_t>().swap(frame_);
    throw Error{failure_};
}

void Compressor::Configure(int level) {
    level_ = level;
    blocksPerFrame_ = FrameEncoder::BlocksPerFrame(level);
    frameBytes_ = blocksPerFrame_ * blockAlign_;
    const bool checkWidth = format_.channels == 2 && level == 5000;
    encoder_ = std::make_unique<FrameEncoder>(format_.channels, format_.bits, level, checkWidth, kernels_);
    frame_.clear();
    output_.Begin(std::max<uint64_t>(1, (maxBytes_ + frameBytes_ - 1) / frameBytes_));
}

void Compressor::Start(const std::string& path, const PcmFormat& format, int64_t maxAudioBytes, int level) {
    if (state_ != State::kIdle) throw Error{MAC_ERROR_BAD_STATE};
    if (format.channels < 1 || format.channels > 2 ||
        (format.bits != 8 && format.bits != 16 && format.bits != 24) || format.sampleRate == 0) {
        throw Error{MAC_ERROR_INVALID_FORMAT};
    }
    if (level < 1000 || level > 5000 || level % 1000 != 0) throw Error{MAC_ERROR_INVALID_LEVEL};
    if (path.empty()) throw Error{MAC_ERROR_CREATE_FILE};

    Guarded([&] {
        format_ = format;
        blockAlign_ = static_cast<size_t>(format.channels * format.bits / 8);
        maxBytes_ = maxAudioBytes > 0 ? std::min<uint64_t>(static_cast<uint64_t>(maxAudioBytes), kFormatLimit)
                                      : kFormatLimit;
        // The input copy first: when it cannot be made, no output has been created yet.
        if (format.channels == 2 && level == 5000) {
            const std::filesystem::path folder = std::filesystem::path(path).parent_path();
            spool_.Open(folder.empty() ? "." : folder.string());
        }
        output_.Create(path);
        state_ = State::kRunning;
        Configure(level);
    });
}

bool Compressor::CodeFrame(const uint8_t* pcm, uint32_t blocks) {
    output_.BeginFrame();
    const FrameEncoder::Result result =
        encoder_->Encode(pcm, blocks, [this](ByteBuffer& bytes) { output_.Put(bytes); });
    if (result == FrameEncoder::Result::kWidthOverflow) return false;
    lastFrameBlocks_ = blocks;
    return true;
}

bool Compressor::Feed(const uint8_t* data, size_t size) {
    while (size > 0) {
        if (frame_.empty() && size >= frameBytes_) {
            // A whole frame in the caller's buffer is coded from there.
            if (!CodeFrame(data, blocksPerFrame_)) return false;
            data += frameBytes_;
            size -= frameBytes_;
            continue;
        }
        const size_t take = std::min(size, frameBytes_ - frame_.size());
        frame_.insert(frame_.end(), data, data + take);
        data += take;
        size -= take;
        if (frame_.size() == frameBytes_) {
            if (!CodeFrame(frame_.data(), blocksPerFrame_)) return false;
            frame_.clear();
        }
    }
    return true;
}

void Compressor::FallBack() {
    Configure(4000);
    spool_.Replay([this](const uint8_t* data, size_t size) { Feed(data, size); });
    spool_.Close();
}

void Compressor::AddData(const uint8_t* data, size_t size) {
    if (state_ == State::kIdle || state_ == State::kFinished) throw Error{MAC_ERROR_BAD_STATE};
    Guarded([&] {
        if (size > maxBytes_ - inputBytes_) throw Error{MAC_ERROR_TOO_LARGE};
        inputBytes_ += size;
        if (spool_.IsOpen()) spool_.Append(data, size);
        if (!Feed(data, size)) FallBack();
    });
}

void Compressor::Finish() {
    if (state_ == State::kIdle || state_ == State::kFinished) throw Error{MAC_ERROR_BAD_STATE};
    Guarded([&] {
        const uint32_t blocks = static_cast<uint32_t>(frame_.size() / blockAlign_);
        if (blocks > 0 && !CodeFrame(frame_.data(), blocks)) {
            FallBack();
            const uint32_t rest = static_cast<uint32_t>(frame_.size() / blockAlign_);
            if (rest > 0) CodeFrame(frame_.data(), rest);
        }
        spool_.Close();
        // A trailing partial sample cannot be stored; an input without one whole block cannot be written.
        if (output_.Frames() == 0) throw Error{MAC_ERROR_EMPTY};
        const HeaderFields fields{static_cast<uint16_t>(level_),
                                  blocksPerFrame_,
                                  lastFrameBlocks_,
                                  static_cast<uint16_t>(format_.bits),
                                  static_cast<uint16_t>(format_.channels),
                                  format_.sampleRate};
        output_.Complete(fields);
        encoder_.reset();
        std::vector<uint8_t>().swap(frame_);
        state_ = State::kFinished;
    });
}

}  // namespace mac
