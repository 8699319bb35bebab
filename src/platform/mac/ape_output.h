// The output file: the frame stream goes straight to disk behind room left for the headers and the
// largest seek table the announced input can need; finishing moves the frames down behind the real seek
// table and writes the headers, so neither memory nor a second copy of the file grows with its length.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/mac/checksums.h"
#include "platform/mac/error.h"
#include "platform/mac/range_coder.h"

namespace mac {

struct HeaderFields {
    uint16_t level;
    uint32_t blocksPerFrame;
    uint32_t finalFrameBlocks;
    uint16_t bits;
    uint16_t channels;
    uint32_t sampleRate;
};

class ApeOutput {
  public:
    ApeOutput() = default;
    ~ApeOutput();
    ApeOutput(const ApeOutput&) = delete;
    ApeOutput& operator=(const ApeOutput&) = delete;

    // Creates (or empties) the file; Error(MAC_ERROR_CREATE_FILE) when it cannot.
    void Create(const std::string& path);
    // Starts the frame data anew with room for `maxFrames` seek-table entries; what was written is dropped.
    void Begin(uint64_t maxFrames);
    // The next frame starts at the current end of the stream.
    void BeginFrame();
    // Appends frame bytes and empties `bytes`.
    void Put(ByteBuffer& bytes);
    uint32_t Frames() const { return static_cast<uint32_t>(frameStarts_.size()); }
    // Completes and closes the file.
    void Complete(const HeaderFields& fields);
    // Closes and deletes the file (nothing happens when none is open).
    void Remove();

  private:
    void Flush();
    void WriteAt(const uint8_t* data, size_t size, uint64_t offset);

    std::string path_;
    int fd_ = -1;
    uint64_t dataOffset_ = 0;   // where the frame data starts while it is written
    uint64_t written_ = 0;      // frame-data bytes on disk
    uint64_t streamBytes_ = 0;  // frame-stream bytes received
    std::vector<uint64_t> frameStarts_;
    std::vector<uint8_t> buffer_;  // stored (word-swapped) bytes not yet on disk
    uint8_t tail_[4] = {};         // the start of an incomplete word
    size_t tailSize_ = 0;
    Md5 md5_;
};

}  // namespace mac
