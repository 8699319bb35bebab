// What the AAC and ALAC writers share: the staging of PCM into whole codec frames, and
// the MP4 file they write into, closed exactly once.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "bindings/mp4.h"

// PCM gathered until whole frames of `frameBytes` can be encoded. The buffer holds 16 bytes per hertz of
// the sample rate (at least two frames); a block larger than the room left is taken in pieces.
class Staging {
  public:
    Staging(uint32_t sampleRate, uint32_t frameBytes)
        : frameBytes_(frameBytes),
          buffer_(std::max<size_t>(size_t{16} * sampleRate, size_t{2} * frameBytes)) {}

    // Appends `length` bytes, calling `encode` with each whole frame in turn.
    void Add(const uint8_t* block, uint32_t length, const std::function<void(uint8_t*)>& encode) {
        while (length > 0) {
            const size_t piece = std::min<size_t>(length, buffer_.size() - pending_);
            std::memcpy(buffer_.data() + pending_, block, piece);
            block += piece;
            length -= static_cast<uint32_t>(piece);
            const size_t total = pending_ + piece;
            const size_t whole = total / frameBytes_;
            for (size_t i = 0; i < whole; ++i) encode(buffer_.data() + i * frameBytes_);
            pending_ = total - whole * frameBytes_;
            std::memmove(buffer_.data(), buffer_.data() + whole * frameBytes_, pending_);
        }
    }
    // The bytes not yet encoded (fewer than one frame), at the start of the buffer.
    uint8_t* Data() { return buffer_.data(); }
    size_t Pending() const { return pending_; }
    void Clear() { pending_ = 0; }

  private:
    const size_t frameBytes_;
    std::vector<uint8_t> buffer_;
    size_t pending_ = 0;
};

// An MP4 file handle, closed by Close or at the latest by the destructor.
class Mp4File {
  public:
    Mp4File() = default;
    ~Mp4File() { Close(); }
    Mp4File(const Mp4File&) = delete;
    Mp4File& operator=(const Mp4File&) = delete;

    void Reset(MP4FileHandle handle) { handle_ = handle; }
    MP4FileHandle get() const { return handle_; }
    // False when the file could not be completed (or was never opened).
    bool Close() {
        if (!handle_) return false;
        const bool done = MP4Close(handle_, 0);
        handle_ = MP4_INVALID_FILE_HANDLE;
        return done;
    }

  private:
    MP4FileHandle handle_ = MP4_INVALID_FILE_HANDLE;
};
