// Hostile files and their witnesses; see hostile_files.h.
#include "support/hostile_files.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "support/audio_fixtures.h"

namespace testsupport {

LoopbackListener::LoopbackListener() {
    socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket_ < 0) throw std::runtime_error("no socket for the listener");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;  // the system chooses
    socklen_t length = sizeof address;
    if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(socket_, 64) != 0 ||
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(wake_, O_CLOEXEC) != 0) {
        ::close(socket_);
        throw std::runtime_error("the listener could not bind to 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

LoopbackListener::~LoopbackListener() {
    (void)!::write(wake_[1], "x", 1);
    thread_.join();
    ::close(socket_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

bool LoopbackListener::WaitForConnections(int count, std::chrono::milliseconds limit) const {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (Connections() < count && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return Connections() >= count;
}

// Accepts and drops every connection: a client gets no data, and the count is all that matters.
void LoopbackListener::Serve() {
    for (;;) {
        pollfd fds[2] = {{socket_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents != 0) return;
        if (fds[0].revents & POLLIN) {
            const int client = ::accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                connections_.fetch_add(1);
                ::close(client);
            }
        }
    }
}

OpenWatch::OpenWatch(const std::filesystem::path& file) {
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0 || ::inotify_add_watch(fd_, file.c_str(), IN_OPEN) < 0) {
        if (fd_ >= 0) ::close(fd_);
        throw std::runtime_error("cannot watch " + file.string());
    }
}

OpenWatch::~OpenWatch() {
    ::close(fd_);
}

int OpenWatch::Opens() {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        if (got <= 0) break;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->mask & IN_OPEN) ++opens_;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return opens_;
}

LocalWav MakeLocalWav(const std::filesystem::path& path) {
    const PcmSpec spec{44100, 2, SampleKind::S16};
    const std::vector<uint8_t> pcm = NoisePcm(spec, 44100, 20);
    WriteBytes(path, WavFile(spec, pcm));
    LocalWav local;
    local.path = path;
    // 64 frames from the middle: noise this long matches nothing by chance.
    const size_t start = pcm.size() / 2;
    local.asInt16.assign(pcm.begin() + static_cast<std::ptrdiff_t>(start),
                         pcm.begin() + static_cast<std::ptrdiff_t>(start + 64 * 4));
    for (size_t i = 0; i < local.asInt16.size(); i += 2) {
        const auto value = static_cast<int16_t>(local.asInt16[i] | local.asInt16[i + 1] << 8);
        const float f = static_cast<float>(value) / 32768.0f;
        uint8_t bytes[4];
        std::memcpy(bytes, &f, 4);
        local.asFloat.insert(local.asFloat.end(), bytes, bytes + 4);
    }
    return local;
}

bool HoldsLocalPcm(const std::vector<uint8_t>& decoded, const LocalWav& local) {
    for (const auto* needle : {&local.asInt16, &local.asFloat}) {
        if (std::search(decoded.begin(), decoded.end(), needle->begin(), needle->end()) != decoded.end())
            return true;
    }
    return false;
}

namespace {

std::string Hls(const std::string& entries) {
    return "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:10\n#EXT-X-MEDIA-SEQUENCE:0\n" + entries +
           "#EXT-X-ENDLIST\n";
}

std::string HlsSegment(const std::string& url) {
    return Hls("#EXTINF:10.0,\n" + url + "\n");
}

void PutU32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void PutText(std::string& out, const std::string& text) {
    PutU32(out, static_cast<uint32_t>(text.size()));
    out += text;
}

// An Impulse Tracker project: the song's patterns with instruments that live in other files, named by
// path (version 1.03: UTF-8 paths, relative to the project).
std::string TrackerProject(const std::vector<std::string>& instrumentPaths) {
    std::string out = "pti.";  // ".itp" as a little-endian word
    PutU32(out, 0x103);
    PutText(out, "hostile");                  // song name
    PutU32(out, 0);                           // no message
    PutU32(out, 0x20000);                     // project flag
    for (uint32_t v : {128u, 48u, 6u, 125u})  // global volume, pre-amp, speed, tempo
        PutU32(out, v);
    PutU32(out, 1);   // channels
    PutU32(out, 20);  // channel name length
    PutU32(out, 32);  // pan
    PutU32(out, 0);   // channel flags
    PutU32(out, 64);  // volume
    out += std::string(20, '\0');
    PutU32(out, 0);  // no mix plug-ins
    PutU32(out, 0);  // no MIDI macros
    PutU32(out, static_cast<uint32_t>(instrumentPaths.size()));
    for (const std::string& path : instrumentPaths) PutText(out, path);
    PutText(out, std::string(1, '\0'));        // order list: pattern 0
    PutU32(out, 1);                            // patterns
    PutU32(out, 0);                            // named patterns
    PutU32(out, 0);                            // pattern name length
    PutU32(out, 6);                            // bytes per pattern cell
    PutU32(out, 4);                            // rows
    const char notes[] = {61, 1, 0, 0, 0, 0};  // C-5 with instrument 1, then empty rows
    out.append(notes, sizeof notes);
    out += std::string(3 * 6, '\0');
    PutU32(out, 1);  // samples
    PutU32(out, 0);  // none embedded
    PutU32(out, 0);  // no extra blocks
    return out;
}

}  // namespace

std::vector<HostileFile> HostileFiles(int port, const std::filesystem::path& local) {
    const std::string host = "127.0.0.1:" + std::to_string(port);
    const std::string name = local.filename().string();
    const std::string absolute = local.string();
    return {
        {"hls_http", HlsSegment("http://" + host + "/seg.ts")},
        {"hls_https", HlsSegment("https://" + host + "/seg.ts")},
        {"hls_tcp", HlsSegment("tcp://" + host)},
        {"hls_file", HlsSegment("file:" + absolute)},
        {"hls_relative", HlsSegment(name)},
        {"hls_key",
         Hls("#EXT-X-KEY:METHOD=AES-128,URI=\"http://" + host + "/key.bin\"\n#EXTINF:10.0,\n" + name + "\n")},
        {"dash",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<MPD xmlns=\"urn:mpeg:dash:schema:mpd:2011\" type=\"static\" mediaPresentationDuration=\"PT10S\"\n"
         "     minBufferTime=\"PT1S\" profiles=\"urn:mpeg:dash:profile:isoff-on-demand:2011\">\n"
         " <Period><AdaptationSet mimeType=\"audio/mp4\" contentType=\"audio\">\n"
         "  <Representation id=\"a\" bandwidth=\"64000\" codecs=\"mp4a.40.2\" audioSamplingRate=\"44100\">\n"
         "   <BaseURL>http://" +
             host +
             "/audio.m4a</BaseURL>\n"
             "  </Representation>\n"
             " </AdaptationSet></Period>\n"
             "</MPD>\n"},
        {"ffconcat_relative", "ffconcat version 1.0\nfile '" + name + "'\n"},
        {"ffconcat_absolute", "ffconcat version 1.0\nfile '" + absolute + "'\n"},
        {"sdp", "v=0\r\no=- 0 0 IN IP4 127.0.0.1\r\ns=hostile\r\nc=IN IP4 127.0.0.1\r\nt=0 0\r\nm=audio " +
                    std::to_string(port) + " RTP/AVP 0\r\na=control:rtsp://" + host + "/track\r\n"},
        {"module", TrackerProject({name, absolute})},
    };
}

bool ConnectToLoopback(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

void WaitSince(std::chrono::steady_clock::time_point since, std::chrono::milliseconds wait) {
    const auto until = since + wait;
    while (std::chrono::steady_clock::now() < until) std::this_thread::sleep_until(until);
}

}  // namespace testsupport
