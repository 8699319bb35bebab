// Process-wide host state; see host.h.
#include "platform/bass/host.h"

#include <dlfcn.h>

#include "platform/bass/error.h"

namespace bass {

Host& Host::Get() {
    static Host* host = new Host;  // never destroyed: add-ons may still call in during process exit
    return *host;
}

DWORD Host::NextHandle() {
    // Handles count up and skip 0 on wrap-around, so a freed handle is not met again soon.
    if (++counter_ == 0) ++counter_;
    return counter_;
}

DWORD Host::Register(std::shared_ptr<Channel> channel) {
    std::lock_guard lock(mutex_);
    DWORD handle = NextHandle();
    while (channels_.count(handle) != 0) handle = NextHandle();
    channel->SetHandle(handle);
    channels_.emplace(handle, std::move(channel));
    return handle;
}

std::shared_ptr<Channel> Host::Find(DWORD handle) {
    std::lock_guard lock(mutex_);
    auto it = channels_.find(handle);
    return it == channels_.end() ? nullptr : it->second;
}

std::shared_ptr<Channel> Host::Remove(DWORD handle) {
    std::lock_guard lock(mutex_);
    auto it = channels_.find(handle);
    if (it == channels_.end()) return nullptr;
    auto channel = std::move(it->second);
    channels_.erase(it);
    return channel;
}

std::vector<std::shared_ptr<Channel>> Host::RemoveAllChannels() {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<Channel>> all;
    for (auto& [handle, channel] : channels_) all.push_back(std::move(channel));
    channels_.clear();
    return all;
}

std::vector<std::shared_ptr<Channel>> Host::RemoveChannelsOf(HPLUGIN plugin) {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<Channel>> removed;
    for (auto it = channels_.begin(); it != channels_.end();) {
        if (it->second->Plugin() == plugin) {
            removed.push_back(std::move(it->second));
            it = channels_.erase(it);
        } else {
            ++it;
        }
    }
    return removed;
}

BASSFILE Host::AddFile(std::unique_ptr<HostFile> file) {
    std::lock_guard lock(mutex_);
    BASSFILE key = file.get();
    files_[key] = FileEntry{std::move(file), 0, std::this_thread::get_id()};
    return key;
}

bool Host::IsOpenFile(BASSFILE file) {
    std::lock_guard lock(mutex_);
    return files_.count(file) != 0;
}

void Host::CloseFile(BASSFILE file) {
    std::unique_ptr<HostFile> closing;  // destroyed after the lock: a user close procedure may call in
    {
        std::lock_guard lock(mutex_);
        auto it = files_.find(file);
        if (it == files_.end()) return;
        closing = std::move(it->second.file);
        files_.erase(it);
    }
}

std::string Host::AttachPending(DWORD handle) {
    std::lock_guard lock(mutex_);
    std::string name;
    const auto self = std::this_thread::get_id();
    for (auto& [key, entry] : files_) {
        if (entry.owner != 0 || entry.opener != self) continue;
        entry.owner = handle;
        if (name.empty() && entry.file->HasName()) name = entry.file->Name();
    }
    return name;
}

bool Host::IsAttached(BASSFILE file) {
    std::lock_guard lock(mutex_);
    auto it = files_.find(file);
    return it != files_.end() && it->second.owner != 0;
}

void Host::Attach(BASSFILE file, DWORD handle) {
    std::lock_guard lock(mutex_);
    auto it = files_.find(file);
    if (it != files_.end() && it->second.owner == 0) it->second.owner = handle;
}

void Host::CloseFilesOf(DWORD handle) {
    std::vector<std::unique_ptr<HostFile>> closing;
    {
        std::lock_guard lock(mutex_);
        for (auto it = files_.begin(); it != files_.end();) {
            if (it->second.owner == handle) {
                closing.push_back(std::move(it->second.file));
                it = files_.erase(it);
            } else {
                ++it;
            }
        }
    }
}

void Host::CloseAllFiles() {
    std::map<BASSFILE, FileEntry> closing;
    {
        std::lock_guard lock(mutex_);
        closing.swap(files_);
    }
}

HPLUGIN Host::AddPlugin(const Plugin& plugin) {
    std::lock_guard lock(mutex_);
    for (const auto& p : plugins_) {
        if (p.library == plugin.library) return Fail(BASS_ERROR_ALREADY, 0);
    }
    Plugin added = plugin;
    added.handle = NextHandle();
    plugins_.push_back(added);
    return added.handle;
}

std::vector<Plugin> Host::Plugins() {
    std::lock_guard lock(mutex_);
    return plugins_;
}

bool Host::RemovePlugin(HPLUGIN handle, Plugin* removed) {
    std::lock_guard lock(mutex_);
    for (auto it = plugins_.begin(); it != plugins_.end(); ++it) {
        if (it->handle == handle) {
            *removed = *it;
            plugins_.erase(it);
            return true;
        }
    }
    return false;
}

HPLUGIN Host::PluginOfAddress(const void* address) {
    Dl_info info{};
    if (address == nullptr || dladdr(address, &info) == 0) return 0;
    std::lock_guard lock(mutex_);
    for (const auto& p : plugins_) {
        if (p.base == info.dli_fbase) return p.handle;
    }
    return 0;
}

void Host::SetInitRate(DWORD freq, bool initialised) {
    std::lock_guard lock(mutex_);
    initRate_ = freq;
    initialised_ = initialised;
}

DWORD Host::InitRate() {
    std::lock_guard lock(mutex_);
    return initRate_;
}

bool Host::Initialised() {
    std::lock_guard lock(mutex_);
    return initialised_;
}

void Host::SetCddbServer(const char* server) {
    std::lock_guard lock(mutex_);
    // A copy: the caller's text may go away; the pointer GetConfigPtr hands out lives until the next change.
    cddbServer_ = server ? std::make_unique<std::string>(server) : nullptr;
}

const char* Host::CddbServer() {
    std::lock_guard lock(mutex_);
    return cddbServer_ ? cddbServer_->c_str() : nullptr;
}

}  // namespace bass
