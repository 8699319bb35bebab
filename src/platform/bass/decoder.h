// The built-in decoders (WAV/AIFF, MPEG audio, Ogg Vorbis) behind one small interface that delivers
// interleaved float frames; each Open* probes the content and answers null when it is not its format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/bass/exports.h"
#include "platform/bass/host_file.h"

namespace bass {

class Decoder {
  public:
    virtual ~Decoder() = default;

    DWORD rate = 0;
    DWORD chans = 0;
    DWORD ctype = 0;
    DWORD origres = 0;

    // Exact number of frames, or -1 when unknown.
    virtual int64_t Frames() = 0;
    // Reads up to `frames` interleaved float frames; 0 at the end or on an error it cannot pass.
    virtual size_t Read(float* dst, size_t frames) = 0;
    // Whether ReadInt32 gives the stored samples exactly (integer inputs only).
    virtual bool CanReadInt32() const { return false; }
    // Reads up to `frames` interleaved 32-bit integer frames at full scale; as Read otherwise.
    virtual size_t ReadInt32(int32_t*, size_t) { return 0; }
    // Moves to an exact frame.
    virtual bool Seek(int64_t frame) = 0;
    virtual const char* Tags(DWORD) { return nullptr; }
};

// More channels than this are left to the add-ons: a frame must fit many times into a read request.
inline constexpr int kMaxChannels = 64;

// Each probe starts at the file's beginning and reads through `file`, which must outlive the decoder.
std::unique_ptr<Decoder> OpenSndfileDecoder(HostFile& file);
std::unique_ptr<Decoder> OpenMpegDecoder(HostFile& file);
std::unique_ptr<Decoder> OpenVorbisDecoder(HostFile& file);

}  // namespace bass
