// Hostile input files and the witnesses that show whether reading them reached anything else: a loopback
// TCP listener that counts connections, a watch that counts opens of a local file, and the local file's
// PCM to look for in decoded output.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// A TCP listener on 127.0.0.1 at a port the system chooses; counts every connection it accepts.
class LoopbackListener {
  public:
    LoopbackListener();  // throws std::runtime_error when no socket can be made
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    int Port() const { return port_; }
    int Connections() const { return connections_.load(); }
    // Waits until `count` connections were accepted or `limit` has passed; true in the first case.
    bool WaitForConnections(int count, std::chrono::milliseconds limit) const;

  private:
    void Serve();

    int socket_ = -1;
    int wake_[2] = {-1, -1};
    int port_ = 0;
    std::atomic<int> connections_{0};
    std::thread thread_;
};

// Counts opens of one file by any process (inotify), from construction on.
class OpenWatch {
  public:
    explicit OpenWatch(const std::filesystem::path& file);  // throws std::runtime_error on failure
    ~OpenWatch();
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;

    // Opens seen so far.
    int Opens();

  private:
    int fd_ = -1;
    int opens_ = 0;
};

// A local WAV whose samples must never turn up where a hostile file is decoded.
struct LocalWav {
    std::filesystem::path path;
    std::vector<uint8_t> asInt16;  // a stretch of its samples as 16-bit little-endian values
    std::vector<uint8_t> asFloat;  // the same stretch as 32-bit floats (value / 32768)
};
// Writes noise as 16-bit stereo at 44100 Hz to `path`.
LocalWav MakeLocalWav(const std::filesystem::path& path);
// Whether `decoded` holds the local WAV's stretch in either form.
bool HoldsLocalPcm(const std::vector<uint8_t>& decoded, const LocalWav& local);

struct HostileFile {
    std::string kind;  // short name, usable in file names
    std::string text;  // whole file content
};
// Files that name other resources: HLS playlists with http, https, tcp, file: and relative entries, an
// HLS key URI, a DASH manifest, ffconcat scripts, an SDP description, and a tracker project module naming
// external instruments. Network entries point at 127.0.0.1:`port`; local ones at `local` (absolute, or by
// its file name for relative entries, which resolve beside the hostile file).
std::vector<HostileFile> HostileFiles(int port, const std::filesystem::path& local);

// Connects to 127.0.0.1:`port` and closes again; false when the connection failed. Tests use it to show
// that a listener does count what it is there for.
bool ConnectToLoopback(int port);

// Sleeps until at least `wait` has passed since `since`.
void WaitSince(std::chrono::steady_clock::time_point since, std::chrono::milliseconds wait);

}  // namespace testsupport
