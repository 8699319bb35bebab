// Temporary output names, durability before the rename and removal of stale temporary files.
#include "wvt/partial.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace {

constexpr const char* kMark = ".wvt-";
constexpr const char* kSuffix = ".partial";
// Room left in a 255-byte file name for the dot, the mark, two numbers and the suffix.
constexpr size_t kMaxStem = 200;

std::atomic<unsigned long> gSequence{0};

bool AllDigits(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

bool ProcessRunning(long pid) {
    if (pid <= 0) return false;
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace

std::string PartialName(const std::string& finalName) {
    const size_t slash = finalName.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : finalName.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? finalName : finalName.substr(slash + 1);
    if (base.size() > kMaxStem) {
        // Cut a long name on a character boundary: the temporary name must stay a valid file name.
        size_t cut = kMaxStem;
        while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80) --cut;
        base.resize(cut);
    }
    return folder + "." + base + kMark + std::to_string(static_cast<long>(getpid())) + "-" +
           std::to_string(++gSequence) + kSuffix;
}

std::string FollowLinks(const std::string& finalName) {
    namespace fs = std::filesystem;
    fs::path path = finalName;
    for (int hops = 0; hops < 40; ++hops) {  // the system's own limit for a chain of links
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec))) break;
        const fs::path target = fs::read_symlink(path, ec);
        if (ec) break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path.string();
}

bool IsPartialName(const std::string& fileName, long& owner) {
    const size_t suffixLength = std::strlen(kSuffix);
    if (fileName.size() < 1 + suffixLength || fileName[0] != '.' ||
        fileName.compare(fileName.size() - suffixLength, suffixLength, kSuffix) != 0)
        return false;
    const std::string body = fileName.substr(0, fileName.size() - suffixLength);
    const size_t mark = body.rfind(kMark);
    if (mark == std::string::npos || mark == 0) return false;
    const std::string numbers = body.substr(mark + std::strlen(kMark));
    const size_t dash = numbers.find('-');
    if (dash == std::string::npos || !AllDigits(numbers.substr(0, dash)) ||
        !AllDigits(numbers.substr(dash + 1)))
        return false;
    owner = std::strtol(numbers.substr(0, dash).c_str(), nullptr, 10);
    return true;
}

std::string SyncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    std::string error;
    if (::fsync(fd) != 0) error = std::strerror(errno);
    ::close(fd);
    return error;
}

void SyncFolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

int RemoveStalePartials(const std::string& folder, long minimumAgeSeconds) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return 0;
    const std::string prefix = folder.empty() ? std::string() : folder.back() == '/' ? folder : folder + "/";
    const time_t now = std::time(nullptr);
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        long owner = 0;
        if (!IsPartialName(entry->d_name, owner)) continue;
        // Files of this process belong to conversions still running (a finished one removes its own).
        if (owner == static_cast<long>(getpid()) || ProcessRunning(owner)) continue;
        const std::string path = prefix + entry->d_name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        // A young file may belong to a run on another machine sharing the folder: leave it a while.
        if (now - st.st_mtime < minimumAgeSeconds) continue;
        if (::unlink(path.c_str()) == 0) ++removed;
    }
    ::closedir(dir);
    return removed;
}

#ifdef WAVETROVE_CRASH_POINTS
// WAVETROVE_CRASH_AT="<point>:<n>" kills the process the n-th time (counting from 1, over all workers)
// it reaches <point>: the tests of crash safety kill at exact moments instead of after a guessed delay.
void CrashPoint(const char* point) {
    static const char* wanted = std::getenv("WAVETROVE_CRASH_AT");
    if (!wanted) return;
    const char* colon = std::strrchr(wanted, ':');
    const size_t length = colon ? static_cast<size_t>(colon - wanted) : std::strlen(wanted);
    if (std::strlen(point) != length || std::strncmp(point, wanted, length) != 0) return;
    static std::atomic<long> reached{0};
    const long n = colon ? std::strtol(colon + 1, nullptr, 10) : 1;
    if (++reached == n) ::kill(::getpid(), SIGKILL);
}
#else
void CrashPoint(const char*) {}
#endif
