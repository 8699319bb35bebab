// wavetrove-probe: prints what the program's sources see in each file (class, format, duration, codec,
// tags) and, on request, the MD5 of the PCM they deliver, for checking decoding against other tools.
//
//   wavetrove-probe --open-filter             prints the open-file dialog filter
//   wavetrove-probe [--pcm-md5] FILE...       one block of "key: value" lines per file, blank line between
//
// Exit status: 0 when every file gave a valid source (read without error), 1 when one did not, 2 on a
// usage error.
#include <getopt.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/md5.h>
#include <libavutil/mem.h>
}

#include "decoder/manager.h"

namespace {

constexpr int kExitUsage = 2;

const char* kUsage =
    "usage: wavetrove-probe [--pcm-md5] FILE...\n"
    "       wavetrove-probe --open-filter\n"
    "  FILE           a file to open with the program's sources; prints its class, format, duration,\n"
    "                 codec, sample layout and tags as \"key: value\" lines, a blank line between files\n"
    "      --pcm-md5  also read the whole file and print the MD5 of the PCM the source delivers\n"
    "      --open-filter\n"
    "                 print the filter of the desktop program's open-file dialog and exit\n"
    "  -h, --help     this text\n"
    "      --version  the program's name and version\n"
    "Exit status: 0 when every file gave a valid source, 1 when one did not, 2 on a usage error.\n";

// A usage error: the problem in one line (getopt_long has printed it when `problem` is empty), a pointer
// to --help, and the usage exit code.
int UsageError(const char* problem = nullptr) {
    if (problem) std::fprintf(stderr, "wavetrove-probe: %s\n", problem);
    std::fputs("Try 'wavetrove-probe --help' for more information.\n", stderr);
    return kExitUsage;
}

void Line(const char* key, const std::string& value) {
    std::printf("%s: %s\n", key, value.c_str());
}

// Reads the whole source once; the MD5 context is reused, so the loop allocates nothing per block. A
// source that raises while reading (a CD read error) gets a pcm-error line instead and counts as failed.
bool PrintPcmDigest(TDecoder& source, AVMD5* md5) {
    av_md5_init(md5);
    uint64_t total = 0;
    const uint8_t* data = nullptr;
    uint32_t count = 0;
    try {
        while (source.ReadBlock(data, count) == 0) {
            if (count == 0) continue;
            av_md5_update(md5, data, count);
            total += count;
        }
    } catch (const std::exception& error) {
        Line("pcm-bytes", std::to_string(total));
        Line("pcm-error", error.what());
        return false;
    }
    uint8_t digest[16];
    av_md5_final(md5, digest);
    char hex[33];
    for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    Line("pcm-bytes", std::to_string(total));
    Line("pcm-md5", hex);
    return true;
}

bool Probe(const TDecManager& manager, const std::string& fileName, AVMD5* md5) {
    Line("file", fileName);
    std::unique_ptr<TDecoder> source = manager.OpenFile(fileName);
    if (!source) {
        Line("class", "none");
        Line("valid", "false");
        return false;
    }
    const bool valid = source->IsValid();
    Line("class", source->ClassName());
    Line("valid", valid ? "true" : "false");
    Line("format", source->GetFormatText());
    Line("duration", std::to_string(source->GetDuration()));
    Line("codec", source->GetCodecName());
    Line("rate", std::to_string(source->GetSampleRate()));
    Line("channels", std::to_string(source->GetChannels()));
    Line("bits", std::to_string(source->GetBitsPerSample()));
    Line("sampleformat", std::to_string(source->GetSampleFormat()));
    Line("formattag", std::to_string(source->GetFormatTag()));
    TagFrame tags;
    source->GetTags(tags);
    Line("title", tags.title);
    Line("artist", tags.artist);
    Line("album", tags.album);
    Line("track", tags.track);
    Line("year", tags.year);
    Line("genre", tags.genre);
    if (md5 && valid) return PrintPcmDigest(*source, md5);
    return valid;
}

}  // namespace

int main(int argc, char** argv) {
    static char outBuffer[1 << 16];
    std::setvbuf(stdout, outBuffer, _IOFBF, sizeof outBuffer);

    bool openFilter = false;
    bool pcmMd5 = false;
    enum LongOnly { kOpenFilter = 256, kPcmMd5, kVersion };
    static const option kOptions[] = {
        {"open-filter", no_argument, nullptr, kOpenFilter},
        {"pcm-md5", no_argument, nullptr, kPcmMd5},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, kVersion},
        {nullptr, 0, nullptr, 0},
    };
    // getopt_long names the program by argv[0] in its messages: use the name users know, whatever path
    // started it.
    argv[0] = const_cast<char*>("wavetrove-probe");
    for (int c; (c = getopt_long(argc, argv, "h", kOptions, nullptr)) != -1;) {
        switch (c) {
            case kOpenFilter:
                openFilter = true;
                break;
            case kPcmMd5:
                pcmMd5 = true;
                break;
            case 'h':
                std::printf("%s", kUsage);
                return 0;
            case kVersion:
                std::printf("wavetrove-probe (Wavetrove) %s\n", WAVETROVE_VERSION);
                return 0;
            default:  // getopt_long has named the problem
                return UsageError();
        }
    }
    const std::vector<std::string> files(argv + optind, argv + argc);
    if (openFilter && (pcmMd5 || !files.empty()))
        return UsageError("--open-filter takes no files and no other option");
    if (!openFilter && files.empty()) return UsageError("no files given");

    TDecManager manager;
    manager.Init();
    if (openFilter) {
        std::printf("%s\n", manager.GetOpenFilter().c_str());
        return 0;
    }

    AVMD5* md5 = pcmMd5 ? av_md5_alloc() : nullptr;
    bool allValid = true;
    for (size_t i = 0; i < files.size(); ++i) {
        if (i > 0) std::fputc('\n', stdout);
        allValid = Probe(manager, files[i], md5) && allValid;
    }
    av_free(md5);
    std::fflush(stdout);
    return allValid ? 0 : 1;
}
