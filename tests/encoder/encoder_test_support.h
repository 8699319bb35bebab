// Helpers shared by the writer tests: restoring the settings record, probing files with ffprobe and
// feeding a writer float blocks as the pipeline does.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/audio_fixtures.h"
#include "wvt/config.h"
#include "encoder/maker.h"

// Restores the process-wide settings record when a test that changes it ends.
class ConfigGuard {
  public:
    ConfigGuard() : saved_(Config) {}
    ~ConfigGuard() { Config = saved_; }
    ConfigGuard(const ConfigGuard&) = delete;
    ConfigGuard& operator=(const ConfigGuard&) = delete;

  private:
    config saved_;
};

// ffprobe's view of the first audio stream: key=value pairs of `-show_streams`.
inline std::map<std::string, std::string> ProbeStream(const std::filesystem::path& file,
                                                      const std::string& extraArgs = {}) {
    const auto result = testsupport::RunCommand("ffprobe -v error " + extraArgs +
                                                " -select_streams a:0 -show_streams -of default=nw=1 " +
                                                testsupport::ShellQuote(file.string()));
    std::map<std::string, std::string> values;
    size_t start = 0;
    while (start < result.out.size()) {
        size_t end = result.out.find('\n', start);
        if (end == std::string::npos) end = result.out.size();
        const std::string line = result.out.substr(start, end - start);
        const size_t eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
        start = end + 1;
    }
    return values;
}

// Writes `samples` in blocks of at most `blockFloats` floats (whole frames), as the pipeline pumps them.
inline void WriteFloats(Tencoder& writer, const std::vector<float>& samples, size_t blockFloats = 4096) {
    for (size_t offset = 0; offset < samples.size(); offset += blockFloats) {
        const size_t count = std::min(blockFloats, samples.size() - offset);
        writer.Write(reinterpret_cast<const uint8_t*>(samples.data() + offset),
                     static_cast<uint32_t>(count * sizeof(float)));
    }
}
