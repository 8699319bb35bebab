// A stream an add-on created through the host table: data comes from the add-on's stream procedure,
// length, info, tags and positioning from its function table. The host converts nothing.
#pragma once

#include "platform/bass/channel.h"

namespace bass {

class AddonStream : public Channel {
  public:
    AddonStream(DWORD freq, DWORD chans, DWORD flags, STREAMPROC* proc, void* inst,
                const ADDON_FUNCTIONS* funcs, HPLUGIN plugin);
    // Frees the add-on's instance, then closes the host files the stream owns.
    ~AddonStream() override;

    HPLUGIN Plugin() const override { return plugin_; }
    DWORD GetData(void* buffer, DWORD length) override;
    QWORD GetLength(DWORD mode) override;
    bool SetPosition(QWORD pos, DWORD mode) override;
    void GetInfo(BASS_CHANNELINFO* info) override;
    const char* GetTags(DWORD type) override;

  private:
    STREAMPROC* proc_;
    void* inst_;
    const ADDON_FUNCTIONS* funcs_;
    HPLUGIN plugin_;
};

// Entry 2 of the host table.
HSTREAM CreateAddonStream(DWORD freq, DWORD chans, DWORD flags, STREAMPROC* proc, void* inst,
                          const ADDON_FUNCTIONS* funcs);

}  // namespace bass
