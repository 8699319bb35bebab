// The host's process-wide state: the channel registry (handles), the host files handed to add-ons and
// who owns them, the loaded plug-ins, and the settings of BASS_Init and BASS_SetConfigPtr. Its lock is
// held only for bookkeeping, never while a channel decodes or an add-on runs.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/bass/channel.h"
#include "platform/bass/host_file.h"

namespace bass {

struct Plugin {
    HPLUGIN handle = 0;
    void* library = nullptr;
    void* base = nullptr;  // load address, to tell which plug-in a stream procedure belongs to
    const BASS_PLUGININFO* info = nullptr;
    STREAMCREATEPROC* create = nullptr;
    STREAMCREATENAMEPROC* createName = nullptr;  // the name face, for names that are no regular files
};

class Host {
  public:
    static Host& Get();

    // Channels. Register answers the new handle; Remove hands the channel back so that its destructor
    // (which may call into an add-on) runs outside the lock.
    DWORD Register(std::shared_ptr<Channel> channel);
    std::shared_ptr<Channel> Find(DWORD handle);
    std::shared_ptr<Channel> Remove(DWORD handle);
    std::vector<std::shared_ptr<Channel>> RemoveAllChannels();
    std::vector<std::shared_ptr<Channel>> RemoveChannelsOf(HPLUGIN plugin);

    // Host files reachable through the host table. Files opened on a thread stay pending until a stream
    // created on that thread takes them, or they are closed.
    BASSFILE AddFile(std::unique_ptr<HostFile> file);
    bool IsOpenFile(BASSFILE file);
    void CloseFile(BASSFILE file);
    // Gives `handle` every pending file of the calling thread; answers the first of their names.
    std::string AttachPending(DWORD handle);
    bool IsAttached(BASSFILE file);
    void Attach(BASSFILE file, DWORD handle);  // only when open and not yet owned
    void CloseFilesOf(DWORD handle);
    void CloseAllFiles();

    // Plug-ins.
    HPLUGIN AddPlugin(const Plugin& plugin);  // 0 with the error set when the library is already loaded
    std::vector<Plugin> Plugins();
    bool RemovePlugin(HPLUGIN handle, Plugin* removed);
    HPLUGIN PluginOfAddress(const void* address);

    // Settings.
    void SetInitRate(DWORD freq, bool initialised);
    DWORD InitRate();
    bool Initialised();
    void SetCddbServer(const char* server);
    const char* CddbServer();

  private:
    Host() = default;
    DWORD NextHandle();

    struct FileEntry {
        std::unique_ptr<HostFile> file;
        DWORD owner = 0;
        std::thread::id opener;
    };

    std::mutex mutex_;
    DWORD counter_ = 0x10000;
    std::map<DWORD, std::shared_ptr<Channel>> channels_;
    std::map<BASSFILE, FileEntry> files_;
    std::vector<Plugin> plugins_;
    DWORD initRate_ = 44100;
    bool initialised_ = false;
    std::unique_ptr<std::string> cddbServer_;
};

}  // namespace bass
