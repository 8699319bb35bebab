// Tracker modules (MOD, S3M, XM, IT, ...) rendered through libopenmpt as stereo channels at a fixed rate.
#pragma once

#include <memory>
#include <vector>

#include "platform/bass/channel.h"
#include "platform/bass/host_file.h"

struct openmpt_module;

namespace bass {

class MusicChannel : public Channel {
  public:
    // Reads the whole input; null with the error set when it is no module libopenmpt can play.
    static std::shared_ptr<MusicChannel> Load(HostFile& file, DWORD flags, DWORD freq);
    MusicChannel(std::vector<unsigned char> bytes, openmpt_module* module, DWORD flags, DWORD freq);
    ~MusicChannel() override;

    bool IsMusic() const override { return true; }
    DWORD GetData(void* buffer, DWORD length) override;
    QWORD GetLength(DWORD mode) override;
    bool SetPosition(QWORD pos, DWORD mode) override;
    void GetInfo(BASS_CHANNELINFO* info) override;

  private:
    size_t Render(float* dst, size_t frames);
    bool Restart();

    std::vector<unsigned char> bytes_;  // kept to restart rendering from the beginning
    openmpt_module* module_;
    int64_t frames_ = 0;
    DWORD ctype_ = BASS_CTYPE_MUSIC_MOD;
    std::vector<float> scratch_;
};

}  // namespace bass
