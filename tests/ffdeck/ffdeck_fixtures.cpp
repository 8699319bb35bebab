// Helpers of the add-on tests; see ffdeck_fixtures.h.
#include "ffdeck_fixtures.h"

#include <dlfcn.h>

#include <mutex>
#include <stdexcept>

extern "C" {
#include <libavformat/avformat.h>
}

namespace ffdecktest {

namespace {

void* g_addon = nullptr;

template <typename T>
T* AddonSymbol(const char* name) {
    EnsureHost();
    void* symbol = dlsym(g_addon, name);
    if (!symbol) throw std::runtime_error(std::string("add-on lacks ") + name);
    return reinterpret_cast<T*>(symbol);
}

}  // namespace

void EnsureHost() {
    static std::once_flag once;
    std::call_once(once, [] {
        BASS_Init(0, 44100, 0, nullptr, nullptr);
        if (!BASS_PluginLoad("ffdeck.dll", BASS_UNICODE)) throw std::runtime_error("the add-on did not load");
        // The same library the host loaded, for calls the host does not forward.
        auto path = testsupport::BinDir() / "libffdeck.so";
        g_addon = dlopen(path.c_str(), RTLD_NOW);
        if (!g_addon) throw std::runtime_error("libffdeck.so could not be opened");
    });
}

const void* PluginFace(DWORD face) {
    return AddonSymbol<BASSPLUGINPROC>("BASSplugin")(face);
}

HSTREAM AddonCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags) {
    using Proc = HSTREAM(BOOL, const void*, QWORD, QWORD, DWORD);
    return AddonSymbol<Proc>("FFDECK_StreamCreateFile")(mem, file, offset, length, flags);
}

HSTREAM AddonCreateFileUser(DWORD system, DWORD flags, const BASS_FILEPROCS* procs, void* user) {
    using Proc = HSTREAM(DWORD, DWORD, const BASS_FILEPROCS*, void*);
    return AddonSymbol<Proc>("FFDECK_StreamCreateFileUser")(system, flags, procs, user);
}

HSTREAM AddonCreateURL(const char* url, DWORD offset, DWORD flags, DOWNLOADPROC* proc, void* user) {
    using Proc = HSTREAM(const char*, DWORD, DWORD, DOWNLOADPROC*, void*);
    return AddonSymbol<Proc>("FFDECK_StreamCreateURL")(url, offset, flags, proc, user);
}

void FfmpegConvert(const std::filesystem::path& input, const std::string& args,
                   const std::filesystem::path& output) {
    auto r =
        testsupport::RunCommand("ffmpeg -nostdin -v error -y -i " + testsupport::ShellQuote(input.string()) +
                                " " + args + " " + testsupport::ShellQuote(output.string()));
    if (r.status != 0) throw std::runtime_error("ffmpeg could not make " + output.string());
}

std::filesystem::path MakeNoiseWav(const std::filesystem::path& path, const testsupport::PcmSpec& spec,
                                   int64_t frames, uint32_t seed) {
    testsupport::WriteBytes(path, testsupport::WavFile(spec, testsupport::NoisePcm(spec, frames, seed)));
    return path;
}

std::vector<uint8_t> ReadAll(DWORD handle, DWORD chunk) {
    std::vector<uint8_t> out;
    std::vector<uint8_t> buffer(chunk);
    for (;;) {
        DWORD got = BASS_ChannelGetData(handle, buffer.data(), chunk);
        if (got == static_cast<DWORD>(-1) || got == 0) break;
        out.insert(out.end(), buffer.begin(), buffer.begin() + got);
    }
    return out;
}

int ProbeCodecId(const std::filesystem::path& file) {
    AVFormatContext* context = nullptr;
    if (avformat_open_input(&context, file.c_str(), nullptr, nullptr) < 0) return -1;
    int id = -1;
    if (avformat_find_stream_info(context, nullptr) >= 0) {
        int index = av_find_best_stream(context, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (index >= 0) id = context->streams[index]->codecpar->codec_id;
    }
    avformat_close_input(&context);
    return id;
}

}  // namespace ffdecktest
