// Shared pieces of the conversion engine tests: a scripted source class whose behaviour each test sets per
// file name, an inline front end that serialises the "main thread" through a mutex and records what the
// engine asked and reported, and a fixture with a registry, the real writers and a fresh settings record.
#pragma once

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/audio_fixtures.h"
#include "wvt/config.h"
#include "decoder/manager.h"
#include "decoder/sources.h"
#include "encoder/maker.h"
#include "encoder/manager.h"
#include "encoder/writer_class.h"
#include "wvt/frontend.h"
#include "wvt/naming.h"
#include "wvt/pipeline.h"
#include "bindings/taglib.h"
#include "wvt/transcoder.h"

namespace enginetest {

namespace fs = std::filesystem;
using testsupport::TempDir;

// How the scripted source behaves for one file name.
struct Script {
    int channels = 2;
    int rate = 44100;
    bool valid = true;
    int blocks = 6;
    int framesPerBlock = 1024;
    int throwAt = -1;  // ReadBlock raises when asked for this block
    bool throwInTags = false;
    bool throwInProgress = false;  // raises something that is not a std::exception
    TagFrame tags;
    std::function<void(int)> onBlock;  // runs on the worker before block i is handed out
    std::function<void()> onEnd;       // runs when the end of the stream is reported
};

// The float PCM a script delivers, every block in order.
inline std::vector<float> ScriptPcm(const Script& s) {
    std::vector<float> pcm(static_cast<size_t>(s.blocks) * s.framesPerBlock * s.channels);
    for (size_t i = 0; i < pcm.size(); ++i) {
        size_t frame = i / s.channels, ch = i % s.channels;
        pcm[i] = static_cast<float>(0.5 * std::sin(2 * M_PI * 440.0 * frame / s.rate + ch));
    }
    return pcm;
}

inline std::mutex gScriptsLock;
inline std::map<std::string, Script> gScripts;

inline void SetScript(const std::string& path, Script s) {
    std::lock_guard<std::mutex> l(gScriptsLock);
    gScripts[path] = std::move(s);
}

class ScriptedSource : public TDecoder {
  public:
    ScriptedSource(const std::string& name, Script s)
        : TDecoder(name), s_(std::move(s)), pcm_(s_.valid ? ScriptPcm(s_) : std::vector<float>()) {}
    std::string GetFormatText() const override { return "Scripted"; }
    int GetDuration() const override { return s_.blocks * s_.framesPerBlock / s_.rate; }
    int ReadBlock(const uint8_t*& data, uint32_t& count) override {
        if (next_ == s_.throwAt) throw std::runtime_error("read error");
        if (next_ >= s_.blocks) {
            if (s_.onEnd) s_.onEnd();
            return 1;
        }
        if (s_.onBlock) s_.onBlock(next_);
        const size_t floats = static_cast<size_t>(s_.framesPerBlock) * s_.channels;
        data = reinterpret_cast<const uint8_t*>(pcm_.data() + next_ * floats);
        count = static_cast<uint32_t>(floats * sizeof(float));
        ++next_;
        return 0;
    }
    int GetProgress() const override {
        if (s_.throwInProgress) throw 42;
        return s_.blocks ? next_ * 100 / s_.blocks : 0;
    }
    int GetChannels() const override { return s_.channels; }
    int GetSampleRate() const override { return s_.rate; }
    int GetBitsPerSample() const override { return 32; }
    int GetSampleFormat() const override { return SAMPLE_FORMAT_FLOAT; }
    bool IsValid() const override { return s_.valid; }
    uint16_t GetFormatTag() const override { return WAVE_FORMAT_IEEE_FLOAT; }
    void Rewind() override { next_ = 0; }
    void GetTags(TagFrame& tags) const override {
        if (s_.throwInTags) throw std::runtime_error("bad tag reply");
        tags = s_.tags;
    }

  private:
    Script s_;
    std::vector<float> pcm_;
    int next_ = 0;
};

// Reads the ".fake" extension; a file without a script opens as an invalid source.
class ScriptedClass : public DecoderClass {
  public:
    constexpr ScriptedClass() : DecoderClass("TScriptedReader") {}
    bool GetFormats(TFormats& formats) const override {
        formats = {{"Scripted", ".fake"}};
        return true;
    }
    bool CanCopyTags() const override { return false; }
    std::unique_ptr<TDecoder> CreateFromFile(const std::string& fileName) const override {
        std::lock_guard<std::mutex> l(gScriptsLock);
        auto it = gScripts.find(fileName);
        Script s;
        if (it == gScripts.end())
            s.valid = false;
        else
            s = it->second;
        return std::make_unique<ScriptedSource>(fileName, s);
    }
};
inline const ScriptedClass kScriptedClass;

// A writer of raw float blocks whose finishing can be made to fail, as a full disk at the last flush does.
inline std::atomic<bool> gWriterFinishFails{false};

class ScriptedWriter : public Tencoder {
  public:
    explicit ScriptedWriter(const WriterSetup& setup) : Tencoder(setup) {
        file_ = std::fopen(setup.fileName.c_str(), "wb");
        if (!file_) throw EEncoderError("cannot create");
    }
    ~ScriptedWriter() override {
        if (file_) std::fclose(file_);
    }
    int Write(const uint8_t* block, uint32_t length) override {
        if (std::fwrite(block, 1, length, file_) != length) throw EEncoderError(kDataWriteError);
        return 0;
    }

  protected:
    void Complete() override {
        std::fclose(file_);
        file_ = nullptr;
        if (gWriterFinishFails) throw EEncoderError("trailer not written");
    }

  private:
    std::FILE* file_ = nullptr;
};

inline constexpr FormatRule kScriptedWriterRule = {.formatTag = WAVE_FORMAT_IEEE_FLOAT, .bits = 32};
inline constexpr WriterFacts kScriptedWriterFacts = {.name = "Scriptedwriter",
                                                     .description = "SCW  - Scripted writer",
                                                     .extension = "scw",
                                                     .filter = "Scripted (*.scw)|*.scw",
                                                     .canCopyTags = false,
                                                     .writesTags = false,
                                                     .hasOptions = false,
                                                     .format = &kScriptedWriterRule};
inline const WriterClass<ScriptedWriter> kScriptedWriterClass(kScriptedWriterFacts);

// The real writers in their codec order, then the scripted one.
inline std::vector<const EncoderClass*> WritersAndScripted() {
    TEncManager real;
    std::vector<const EncoderClass*> classes;
    for (size_t i = 0; i < real.Count(); ++i) classes.push_back(&real.Item(i));
    classes.push_back(&kScriptedWriterClass);
    return classes;
}

// The front end: "main thread" work runs on the calling worker, one piece at a time.
class FakeFrontEnd : public FrontEnd {
  public:
    // Scripted answers, used in order; the last one repeats.
    std::vector<int> overwriteAnswers{OVERWRITE_NO};
    bool tickAnswer = false;
    std::vector<std::optional<std::string>> saveNames{std::nullopt};

    int asked = 0, saveAsked = 0, opened = 0, ended = 0;
    std::vector<std::string> log, errors, exceptions;
    std::map<uint64_t, std::vector<int>> rows;  // every status each row received
    std::string saveFolder;

    void RunOnMain(const std::function<void()>& work) override {
        std::lock_guard<std::mutex> l(main_);
        work();
    }
    int AskOverwrite(const std::string&, bool& applyToAll) override {
        int a = overwriteAnswers[std::min<size_t>(asked, overwriteAnswers.size() - 1)];
        ++asked;
        applyToAll = tickAnswer;
        return a;
    }
    bool AskSaveName(const std::string&, const std::string&, const std::string& folder,
                     std::string& chosen) override {
        auto n = saveNames[std::min<size_t>(saveAsked, saveNames.size() - 1)];
        ++saveAsked;
        saveFolder = folder;
        if (!n) return false;
        chosen = *n;
        return true;
    }
    void ShowError(const std::string& caption, const std::string& text) override {
        errors.push_back(caption + " " + text);
    }
    void ShowException(const std::string& text) override { exceptions.push_back(text); }
    void UpdateRow(uint64_t node, int status) override { rows[node].push_back(status); }
    void AppendLog(const std::string& line) override { log.push_back(line); }
    void OpenFolder(const std::string&) override { ++opened; }
    void AllWorkersEnded() override {
        ++ended;
        endedCv_.notify_all();
    }

    // Waits (at most a minute) for the last worker to end.
    bool WaitEnded() {
        std::unique_lock<std::mutex> l(main_);
        return endedCv_.wait_for(l, std::chrono::seconds(60), [&] { return ended > 0; });
    }
    int FinalStatus(uint64_t node) {
        std::lock_guard<std::mutex> l(main_);
        return rows.count(node) ? rows[node].back() : -1;
    }

  private:
    std::mutex main_;
    std::condition_variable endedCv_;
};

// Loads the tag library once for the whole binary; the registries below are built over given classes and
// so never run TDecManager::Init.
class TagLibraryEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { ASSERT_TRUE(taglib::Load()); }
};

class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Config = config{};
        Config.codec = Codec("wav");
        Config.wavbps = 0;  // keep the source's depth
        Config.output = (dir / "out").string();
        Config.threadscount = 1;
        gWriterFinishFails = false;
        fs::create_directories(dir / "out");
        fs::create_directories(dir / "src");
        std::lock_guard<std::mutex> l(gScriptsLock);
        gScripts.clear();
    }
    void TearDown() override {
        std::lock_guard<std::mutex> l(gScriptsLock);
        gScripts.clear();
    }

    int Codec(const std::string& extension) const {
        for (size_t i = 0; i < encoders.Count(); ++i)
            if (encoders.Item(i).GetExtension() == extension) return static_cast<int>(i);
        ADD_FAILURE() << "no writer for " << extension;
        return 0;
    }
    std::string Src(const std::string& name) const { return (dir / "src" / name).string(); }
    std::string Out(const std::string& name) const { return (dir / "out" / name).string(); }

    // A scripted source file (the file exists, empty, so file times can be taken from it).
    std::string Scripted(const std::string& name, Script s = {}) {
        std::string path = Src(name);
        testsupport::WriteBytes(path, {});
        SetScript(path, std::move(s));
        return path;
    }
    // A real 16-bit WAV read through the WAV source.
    std::string Wav16(const fs::path& path, int channels = 2, int64_t frames = 4410) {
        testsupport::PcmSpec spec{44100, channels, testsupport::SampleKind::S16};
        fs::create_directories(path.parent_path());
        testsupport::WriteBytes(path, testsupport::WavFile(spec, testsupport::SinePcm(spec, frames)));
        return path.string();
    }

    std::vector<std::string> FilesIn(const fs::path& folder) const {
        std::vector<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(folder))
            if (e.is_regular_file()) names.push_back(fs::relative(e.path(), folder).string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir;
    TDecManager decoders{{&kScriptedClass, &TWAVReaderClass, &TAIFFReaderClass}};
    TEncManager encoders{WritersAndScripted()};
    FakeFrontEnd frontEnd;
};

// "key=value" tags ffprobe finds in a file's container, keys lower-cased.
inline std::map<std::string, std::string> ProbeTags(const fs::path& file) {
    auto r = testsupport::RunCommand("ffprobe -v error -show_entries format_tags -of default=nw=1 " +
                                     testsupport::ShellQuote(file.string()));
    std::map<std::string, std::string> tags;
    size_t at = 0;
    while (at < r.out.size()) {
        size_t nl = r.out.find('\n', at);
        std::string line = r.out.substr(at, nl == std::string::npos ? std::string::npos : nl - at);
        at = nl == std::string::npos ? r.out.size() : nl + 1;
        if (line.rfind("TAG:", 0) != 0) continue;
        size_t eq = line.find('=');
        std::string key = line.substr(4, eq - 4);
        for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        tags[key] = line.substr(eq + 1);
    }
    return tags;
}

// One stream field as ffprobe reports it ("sample_rate", "channels", "codec_name").
inline std::string ProbeStream(const fs::path& file, const std::string& field) {
    auto r = testsupport::RunCommand("ffprobe -v error -select_streams a:0 -show_entries stream=" + field +
                                     " -of default=nw=1:nk=1 " + testsupport::ShellQuote(file.string()));
    while (!r.out.empty() && (r.out.back() == '\n' || r.out.back() == '\r')) r.out.pop_back();
    return r.out;
}

}  // namespace enginetest
