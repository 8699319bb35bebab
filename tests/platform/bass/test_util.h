// Helpers shared by the host's tests: reading a channel to its end, owning a handle, and the toy format
// the fake add-on decodes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/bass/bass.h"

namespace basstest {

// Frees a stream or music on scope exit.
class Channel {
  public:
    explicit Channel(DWORD handle = 0, bool music = false) : handle_(handle), music_(music) {}
    ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;
    DWORD get() const { return handle_; }
    explicit operator bool() const { return handle_ != 0; }

  private:
    DWORD handle_;
    bool music_;
};

HSTREAM OpenFile(const std::filesystem::path& path, DWORD flags);

// Reads in 8192-byte requests, as the program does, until the channel stops or a request fails. Gives
// up after `maxBytes` so a broken end condition fails the test instead of hanging it.
std::vector<uint8_t> ReadAll(DWORD handle, size_t maxBytes = 512u << 20);

std::vector<float> AsFloats(const std::vector<uint8_t>& bytes);
std::vector<int16_t> AsInt16(const std::vector<uint8_t>& bytes);

// The fake add-on's format around interleaved float samples.
std::vector<uint8_t> FakeFile(uint32_t rate, uint32_t chans, const std::vector<float>& samples);

// Encodes `seconds` of a `frequency` Hz sine with FFmpeg (`codecArgs` such as "-c:a libmp3lame -b:a 128k").
std::filesystem::path EncodeSine(const std::filesystem::path& dir, const std::string& name, int rate,
                                 int chans, double seconds, double frequency, const std::string& codecArgs);

}  // namespace basstest
