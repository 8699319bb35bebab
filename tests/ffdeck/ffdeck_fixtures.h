// Shared helpers of the add-on tests: one host session with the add-on loaded, files made with the ffmpeg
// tool, whole-stream reads through the host and through the add-on's own stream procedure.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/audio_fixtures.h"
#include "platform/bass/bass.h"
#include "platform/bass/bass_addon.h"

namespace ffdecktest {

constexpr DWORD kFloatFlags = 0x80220100;  // Unicode name, decode only, prescan, float
constexpr DWORD kShortFlags = 0x80220000;  // the same with 16-bit samples

// Initialises the host and loads the add-on the way the program does (once per process).
void EnsureHost();

// The add-on's own exports, from the library the host loaded.
const void* PluginFace(DWORD face);
HSTREAM AddonCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags);
HSTREAM AddonCreateFileUser(DWORD system, DWORD flags, const BASS_FILEPROCS* procs, void* user);
HSTREAM AddonCreateURL(const char* url, DWORD offset, DWORD flags, DOWNLOADPROC* proc, void* user);

// Runs `ffmpeg -i input <args> output`; throws when ffmpeg fails.
void FfmpegConvert(const std::filesystem::path& input, const std::string& args,
                   const std::filesystem::path& output);

// A WAV file of deterministic noise (values over the whole range) made in code.
std::filesystem::path MakeNoiseWav(const std::filesystem::path& path, const testsupport::PcmSpec& spec,
                                   int64_t frames, uint32_t seed = 1);

// All bytes a host stream delivers, read in `chunk`-byte requests until the end.
std::vector<uint8_t> ReadAll(DWORD handle, DWORD chunk = 8192);

// FFmpeg's codec id of the best audio stream, found through libavformat.
int ProbeCodecId(const std::filesystem::path& file);

}  // namespace ffdecktest
