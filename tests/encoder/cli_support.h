// Helpers of the end-to-end writer tests through wavetrove-cli: converting with a private settings
// folder, reading ffprobe's fields, a tagged FLAC source with a front cover, and small disks.
#pragma once

#include <sys/mount.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/audio_fixtures.h"

namespace clitest {

namespace fs = std::filesystem;
using testsupport::RunCommand;
using testsupport::ShellQuote;

// Converts `source` to `format` into `out` with extra options; answers the exit status and the output.
// `prefix` goes in front of the command (an environment, a wrapper).
inline testsupport::CommandResult Convert(const testsupport::TempDir& dir, const std::string& format,
                                          const fs::path& source, const fs::path& out,
                                          const std::string& options = "", const std::string& prefix = "") {
    fs::create_directories(dir / "cfg");
    fs::create_directories(out);
    return RunCommand(prefix + " env XDG_CONFIG_HOME=" + ShellQuote((dir / "cfg").string()) + " " +
                      ShellQuote((testsupport::BinDir() / "wavetrove-cli").string()) + " -j 1 -f " + format +
                      " -o " + ShellQuote(out.string()) + " " + options + " " + ShellQuote(source.string()) +
                      " 2>&1");
}

inline fs::path WriteWav(const testsupport::TempDir& dir, const std::string& name,
                         const testsupport::PcmSpec& spec, const std::vector<uint8_t>& pcm) {
    const fs::path path = dir / name;
    testsupport::WriteBytes(path, testsupport::WavFile(spec, pcm));
    return path;
}

// ffprobe's values for `entries` ("stream=channels", "format_tags"), keys lower case without their
// "TAG:" or "DISPOSITION:" prefix.
inline std::map<std::string, std::string> Probe(const fs::path& file, const std::string& entries) {
    const auto r = RunCommand("ffprobe -v error -show_entries " + entries + " -of default=nw=1 " +
                              ShellQuote(file.string()));
    std::map<std::string, std::string> values;
    size_t start = 0;
    while (start < r.out.size()) {
        size_t end = r.out.find('\n', start);
        if (end == std::string::npos) end = r.out.size();
        const std::string line = r.out.substr(start, end - start);
        const size_t eq = line.find('=');
        if (eq != std::string::npos) {
            std::string key = line.substr(0, eq);
            const size_t colon = key.find(':');
            if (colon != std::string::npos) key = key.substr(colon + 1);
            for (char& ch : key) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            values[key] = line.substr(eq + 1);
        }
        start = end + 1;
    }
    return values;
}

// MD5 of the first attached picture's bytes as FFmpeg extracts them; empty when there is none.
inline std::string AttachedPictureMd5(const fs::path& file) {
    const auto r = RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(file.string()) +
                              " -map 0:v:0 -c copy -f image2pipe -");
    return r.out.empty() ? "" : testsupport::Md5Hex(r.out.data(), r.out.size());
}

// "Song.flac" in `dir`: a second of sine with title, artist, album, track, date and genre and a PNG front
// cover, whose MD5 goes to `coverMd5`. Empty path when FFmpeg could not make it.
inline fs::path TaggedFlac(const testsupport::TempDir& dir, std::string& coverMd5) {
    const testsupport::PcmSpec spec{44100, 2, testsupport::SampleKind::S16};
    const fs::path wav = WriteWav(dir, "plain.wav", spec, testsupport::SinePcm(spec, 44100));
    const fs::path cover = dir / "cover.png";
    if (RunCommand("ffmpeg -nostdin -v error -f lavfi -i color=c=red:s=16x16 -frames:v 1 " +
                   ShellQuote(cover.string()))
            .status != 0) {
        return {};
    }
    const fs::path source = dir / "Song.flac";
    if (RunCommand("ffmpeg -nostdin -v error -i " + ShellQuote(wav.string()) + " -i " +
                   ShellQuote(cover.string()) +
                   " -map 0 -map 1 -c:a flac -c:v copy -disposition:v attached_pic"
                   " -metadata:s:v comment='Cover (front)' -metadata title='Tïtle' -metadata artist=Artist"
                   " -metadata album=Album -metadata track=7 -metadata date=1999 -metadata genre=Jazz " +
                   ShellQuote(source.string()))
            .status != 0) {
        return {};
    }
    coverMd5 = testsupport::Md5Hex(testsupport::ReadBytes(cover));
    return source;
}

// A tmpfs of `size` mounted on a fresh folder (read-only when asked) for the life of the object.
class SmallDisk {
  public:
    SmallDisk(const fs::path& where, const std::string& size, bool readOnly = false) : where_(where) {
        fs::create_directories(where);
        mounted_ =
            mount("tmpfs", where.c_str(), "tmpfs", readOnly ? MS_RDONLY : 0, ("size=" + size).c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) umount(where_.c_str());
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return mounted_; }

  private:
    fs::path where_;
    bool mounted_ = false;
};

// Whether `folder` (if it exists) holds a file ending in `extension` (".ape") anywhere below it.
inline bool HasFileEnding(const fs::path& folder, const std::string& extension) {
    if (!fs::exists(folder)) return false;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.path().extension() == extension) return true;
    return false;
}

}  // namespace clitest
