// Drive numbering; see drives.h.
#include "platform/basscd/drives.h"

#include <cdio/cdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <memory>

#include "platform/basscd/disc.h"

namespace basscd {
namespace {

std::string Canonical(const std::string& path) {
    std::unique_ptr<char, void (*)(void*)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : path;
}

bool EndsWithCue(const std::string& path) {
    if (path.size() < 4) return false;
    std::string ext = path.substr(path.size() - 4);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext == ".cue";
}

}  // namespace

Drives& Drives::Get() {
    static Drives* drives = new Drives;  // never destroyed: streams may still be freed during exit
    return *drives;
}

Drives::Drives() {
    QuietLibcdio();
    std::lock_guard lock(CdioLock());
    char** devices = cdio_get_devices(DRIVER_DEVICE);
    for (char** d = devices; d != nullptr && *d != nullptr; ++d) {
        Drive drive;
        drive.path = Canonical(*d);
        bool known = false;
        for (const Drive& other : drives_) known = known || other.path == drive.path;
        if (known) continue;
        drives_.push_back(drive);
        readLocks_.push_back(std::make_unique<std::timed_mutex>());
    }
    if (devices != nullptr) cdio_free_device_list(devices);
}

int Drives::Find(const std::string& path) {
    if (path.empty()) return -1;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return -1;
    const bool image = S_ISREG(st.st_mode);
    if (!(image && EndsWithCue(path)) && !S_ISBLK(st.st_mode)) return -1;
    const std::string canonical = Canonical(path);
    std::lock_guard lock(mutex_);
    for (size_t i = 0; i < drives_.size(); ++i)
        if (drives_[i].path == canonical) return static_cast<int>(i);
    Drive drive;
    drive.path = canonical;
    drive.image = image;
    drives_.push_back(drive);
    readLocks_.push_back(image ? nullptr : std::make_unique<std::timed_mutex>());
    return static_cast<int>(drives_.size() - 1);
}

std::optional<Drive> Drives::At(int number) {
    std::lock_guard lock(mutex_);
    if (number < 0 || static_cast<size_t>(number) >= drives_.size()) return std::nullopt;
    return drives_[static_cast<size_t>(number)];
}

int Drives::Count() {
    std::lock_guard lock(mutex_);
    return static_cast<int>(drives_.size());
}

Drive Drives::Identify(int number) {
    std::optional<Drive> drive = At(number);
    if (!drive || drive->image || drive->identified) return drive.value_or(Drive{});
    cdio_hwinfo_t info{};
    bool known = false;
    {
        std::lock_guard lock(CdioLock());
        if (CdIo_t* cdio = cdio_open(drive->path.c_str(), DRIVER_DEVICE)) {
            known = cdio_get_hwinfo(cdio, &info);
            cdio_destroy(cdio);
        }
    }
    std::lock_guard lock(mutex_);
    Drive& stored = drives_[static_cast<size_t>(number)];
    stored.identified = true;
    if (known) {
        stored.vendor = info.psz_vendor;
        stored.model = info.psz_model;
        stored.revision = info.psz_revision;
    }
    return stored;
}

std::timed_mutex* Drives::ReadLock(int number) {
    std::lock_guard lock(mutex_);
    if (number < 0 || static_cast<size_t>(number) >= readLocks_.size()) return nullptr;
    return readLocks_[static_cast<size_t>(number)].get();
}

bool SplitTrackName(const std::string& name, std::string& path, int& index) {
    const size_t slash = name.rfind('/');
    if (slash == std::string::npos || slash == 0) return false;
    std::string file = name.substr(slash + 1);
    for (char& c : file)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (file.size() < 10 || file.compare(0, 5, "track") != 0 || file.compare(file.size() - 4, 4, ".cda") != 0)
        return false;
    const std::string digits = file.substr(5, file.size() - 9);
    if (digits.empty() || digits.size() > 3) return false;
    int number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + (c - '0');
    }
    if (number < 1) return false;
    path = name.substr(0, slash);
    index = number - 1;
    return true;
}

}  // namespace basscd
