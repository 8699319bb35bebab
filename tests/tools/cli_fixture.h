// The wavetrove-cli test fixture: runs the tool as a user would, on files made in a temporary folder, with
// its settings in a temporary XDG_CONFIG_HOME so the user's are never touched.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/audio_fixtures.h"

namespace clitest {

namespace fs = std::filesystem;
using testsupport::PcmSpec;
using testsupport::RunCommand;
using testsupport::SampleKind;
using testsupport::ShellQuote;

class Cli : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir / "cfg");
        fs::create_directories(dir / "in");
        fs::create_directories(dir / "out");
    }

    // The command line that runs the tool with `arguments`, stdin from /dev/null, stderr into stdout.
    std::string Command(const std::string& arguments) const {
        return "XDG_CONFIG_HOME=" + ShellQuote((dir / "cfg").string()) + " " +
               ShellQuote((testsupport::BinDir() / "wavetrove-cli").string()) + " " + arguments +
               " </dev/null 2>&1";
    }
    testsupport::CommandResult Run(const std::string& arguments) const {
        return RunCommand(Command(arguments));
    }
    // Converts `inputs` into out/ as WAV with the source's depth, plus `extra` options.
    testsupport::CommandResult ToWav(const std::string& inputs, const std::string& extra = "") const {
        return Run("-f wav --set wavbps=0 -o " + ShellQuote((dir / "out").string()) + " " + extra + " " +
                   inputs);
    }

    fs::path Wav(const std::string& name, int channels = 2, int64_t frames = 22050,
                 SampleKind kind = SampleKind::S16, int rate = 44100) const {
        const PcmSpec spec{rate, channels, kind};
        fs::path p = dir / "in" / name;
        fs::create_directories(p.parent_path());
        testsupport::WriteBytes(p, testsupport::WavFile(spec, testsupport::NoisePcm(spec, frames)));
        return p;
    }
    std::string Q(const fs::path& p) const { return ShellQuote(p.string()); }
    fs::path Out(const std::string& name) const { return dir / "out" / name; }

    std::vector<std::string> OutFiles() const {
        std::vector<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(dir / "out"))
            if (e.is_regular_file()) names.push_back(fs::relative(e.path(), dir / "out").string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static std::string Probe(const fs::path& file, const std::string& field) {
        auto r = RunCommand("ffprobe -v error -select_streams a:0 -show_entries stream=" + field +
                            " -of default=nw=1:nk=1 " + ShellQuote(file.string()));
        while (!r.out.empty() && r.out.back() == '\n') r.out.pop_back();
        return r.out;
    }
    static bool Has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }

    testsupport::TempDir dir;
};

}  // namespace clitest
