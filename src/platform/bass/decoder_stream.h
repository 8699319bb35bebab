// A stream served by one of the built-in decoders: converts its float frames to the stream's sample
// format, keeps the byte position and the end state, and owns the file it reads.
#pragma once

#include <memory>
#include <vector>

#include "platform/bass/channel.h"
#include "platform/bass/decoder.h"
#include "platform/bass/host_file.h"

namespace bass {

class DecoderStream : public Channel {
  public:
    DecoderStream(std::unique_ptr<HostFile> file, std::unique_ptr<Decoder> decoder, DWORD flags);

    DWORD GetData(void* buffer, DWORD length) override;
    QWORD GetLength(DWORD mode) override;
    bool SetPosition(QWORD pos, DWORD mode) override;
    void GetInfo(BASS_CHANNELINFO* info) override;
    const char* GetTags(DWORD type) override;

  private:
    std::unique_ptr<HostFile> file_;
    std::unique_ptr<Decoder> decoder_;  // after file_: the decoder goes first
    int64_t frames_;                    // exact total, or -1
    int64_t frame_ = 0;                 // next frame to deliver
    std::vector<float> scratch_;  // also holds 32-bit integers: both are four bytes
};

}  // namespace bass
