// Test fixtures made in code: sine and noise PCM, WAV and AIFF files written byte by byte (independent of
// the libraries under test), temporary folders, running the reference command-line tools, MD5 of bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

enum class SampleKind { U8, S16, S24, S32, F32 };

struct PcmSpec {
    int rate = 44100;
    int channels = 2;
    SampleKind kind = SampleKind::S16;
};

int BytesPerSample(SampleKind kind);

// Interleaved little-endian PCM of a sine of `frequency` Hz at `amplitude` (0..1) for `frames` frames.
// Each channel is phase-shifted so channels differ.
std::vector<uint8_t> SinePcm(const PcmSpec& spec, int64_t frames, double frequency = 1000.0,
                             double amplitude = 0.5);
// Deterministic pseudo-random full-scale PCM (exercises every bit, including the extreme values).
std::vector<uint8_t> NoisePcm(const PcmSpec& spec, int64_t frames, uint32_t seed = 1);

// Whole RIFF/WAVE file around `pcm` (format tag 1, or 3 for F32).
std::vector<uint8_t> WavFile(const PcmSpec& spec, const std::vector<uint8_t>& pcm);
// Whole AIFF file (big-endian integer PCM; U8 is written as signed 8-bit as AIFF requires).
std::vector<uint8_t> AiffFile(const PcmSpec& spec, const std::vector<uint8_t>& pcm);

void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::filesystem::path& path);

// A fresh folder under the system temp folder, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

struct CommandResult {
    int status = -1;  // exit status, or -1 when it did not exit normally
    std::string out;  // standard output
};
// Runs a shell command; standard error is passed through.
CommandResult RunCommand(const std::string& command);
// Quotes a path or word for the shell.
std::string ShellQuote(const std::string& text);

// Raw output of `ffmpeg -i file -f <format> -` (f32le, s16le, ...): FFmpeg's independent decode.
std::vector<uint8_t> FfmpegDecode(const std::filesystem::path& file, const std::string& format);

std::string Md5Hex(const void* data, size_t size);
inline std::string Md5Hex(const std::vector<uint8_t>& bytes) { return Md5Hex(bytes.data(), bytes.size()); }

// Dominant frequency of a mono or interleaved float signal's first channel, by counting zero crossings.
double EstimateFrequency(const std::vector<float>& interleaved, int channels, int rate);

// Folder of the built executables and libraries.
std::filesystem::path BinDir();

}  // namespace testsupport
