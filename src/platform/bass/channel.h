// The common shape of every channel the host hands out (built-in streams, add-on streams, musics): the
// operations behind the BASS_Channel* calls, each run under the channel's own lock.
#pragma once

#include <mutex>
#include <string>

#include "platform/bass/exports.h"

namespace bass {

class Channel {
  public:
    Channel(DWORD freq, DWORD chans, DWORD flags);
    virtual ~Channel() = default;
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    // Bytes of one sample value in the delivered PCM: 4 float or 32-bit integer, 1 for 8-bit, else 2.
    static DWORD SampleBytes(DWORD flags);

    DWORD Handle() const { return handle_; }
    void SetHandle(DWORD handle) { handle_ = handle; }
    void SetFilename(const std::string& name) {
        filename_ = name;
        hasFilename_ = true;
    }
    bool HasFilename() const { return hasFilename_; }
    DWORD Freq() const { return freq_; }
    DWORD Chans() const { return chans_; }
    DWORD Flags() const { return flags_; }
    DWORD FrameBytes() const { return chans_ * SampleBytes(flags_); }
    virtual bool IsMusic() const { return false; }
    virtual HPLUGIN Plugin() const { return 0; }  // the add-on serving the channel, 0 for the host's own

    // Each of these is called with Lock() held and sets the error itself on failure.
    virtual DWORD GetData(void* buffer, DWORD length) = 0;
    virtual QWORD GetLength(DWORD mode) = 0;
    virtual bool SetPosition(QWORD pos, DWORD mode) = 0;
    virtual void GetInfo(BASS_CHANNELINFO* info) = 0;
    virtual const char* GetTags(DWORD type);
    virtual QWORD GetPosition(DWORD mode);
    virtual DWORD IsActive() { return ended_ ? BASS_ACTIVE_STOPPED : BASS_ACTIVE_PLAYING; }

    // Recursive, because an add-on may ask about its own stream from inside its stream procedure.
    std::recursive_mutex& Lock() { return mutex_; }

  protected:
    DWORD handle_ = 0;
    DWORD freq_;
    DWORD chans_;
    DWORD flags_;
    std::string filename_;
    bool hasFilename_ = false;
    bool ended_ = false;
    QWORD position_ = 0;  // bytes delivered since the start or the last position change

  private:
    std::recursive_mutex mutex_;
};

}  // namespace bass
