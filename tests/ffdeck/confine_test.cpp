// The add-on reads only the input it is given: the demuxers probing may pick, files that name other
// resources arriving from memory (where any open at all would follow a name inside them) and through the
// URL procedure, whose own URL is the one thing FFmpeg may open.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/avstring.h>
}

#include "ffdeck/ffdeck.h"
#include "ffdeck_fixtures.h"
#include "support/hostile_files.h"
#include "support/open_guard.h"

using namespace ffdecktest;
using namespace std::chrono_literals;

namespace {

std::vector<std::string> Split(const std::string& list) {
    std::vector<std::string> names;
    std::stringstream in(list);
    for (std::string name; std::getline(in, name, ',');) names.push_back(name);
    return names;
}

TEST(Confine, ProbingPicksOnlyDemuxersThatReadTheirOwnInput) {
    const std::string allowed = ffdeck::AllowedDemuxers();
    for (const std::string& name : Split(allowed)) {
        const AVInputFormat* format = av_find_input_format(name.c_str());
        ASSERT_NE(format, nullptr) << name << " is no demuxer of this FFmpeg";
        // Demuxers without a file of their own open their input, and often others, by name.
        EXPECT_EQ(format->flags & AVFMT_NOFILE, 0) << name;
    }
    for (const char* follower : {"hls", "dash", "concat", "image2", "imf", "sdp", "rtsp", "rtp", "vobsub",
                                 "webm_dash_manifest", "libopenmpt", "data", "ffmetadata"})
        EXPECT_EQ(av_match_list(follower, allowed.c_str(), ','), 0) << follower;
}

// Reads `bytes` from memory the way the add-on reads a host file, but without its restrictions.
void OpenUnconfined(const std::string& bytes, const char* name) {
    struct Cursor {
        const std::string* bytes;
        size_t at = 0;
    } cursor{&bytes};
    auto read = [](void* opaque, uint8_t* buffer, int size) -> int {
        auto* c = static_cast<Cursor*>(opaque);
        const size_t n = std::min(static_cast<size_t>(size), c->bytes->size() - c->at);
        if (n == 0) return AVERROR_EOF;
        std::memcpy(buffer, c->bytes->data() + c->at, n);
        c->at += n;
        return static_cast<int>(n);
    };
    auto* buffer = static_cast<unsigned char*>(av_malloc(4096));
    AVIOContext* io = avio_alloc_context(buffer, 4096, 0, &cursor, read, nullptr, nullptr);
    AVFormatContext* context = avformat_alloc_context();
    context->pb = io;
    if (avformat_open_input(&context, name, nullptr, nullptr) == 0) {
        avformat_find_stream_info(context, nullptr);
        avformat_close_input(&context);
    }
    av_freep(&io->buffer);
    avio_context_free(&io);
}

using ConfineDeathTest = testing::Test;

// The guard the fuzz entry point runs under does catch FFmpeg following a playlist.
TEST_F(ConfineDeathTest, GuardCatchesFfmpegFollowingAPlaylist) {
    const std::string playlist = testsupport::HostileFiles(9, "/nonexistent/local.wav").front().text;
    EXPECT_DEATH(
        {
            testsupport::OpenGuard guard;
            OpenUnconfined(playlist, "song.aac");
        },
        testsupport::OpenGuard::kMessage);
}

// From memory there is no file the add-on may open, so the guard fails on any open at all.
TEST_F(ConfineDeathTest, StreamsFromMemoryOpenNothing) {
    EnsureHost();
    const auto files = testsupport::HostileFiles(9, "/nonexistent/local.wav");
    EXPECT_EXIT(
        {
            testsupport::OpenGuard guard;
            for (const auto& file : files) {
                for (DWORD flags : {kFloatFlags, kShortFlags}) {
                    for (HSTREAM h :
                         {BASS_StreamCreateFile(TRUE, file.text.data(), 0, file.text.size(), flags),
                          AddonCreateFile(TRUE, file.text.data(), 0, file.text.size(), flags)}) {
                        if (h) {
                            ReadAll(h);
                            BASS_StreamFree(h);
                        }
                    }
                }
            }
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

// The URL procedure lets FFmpeg open the URL it is given, and nothing that URL names.
TEST(Confine, UrlProcedureOpensItsUrlOnly) {
    testsupport::TempDir dir;
    const testsupport::LocalWav local = testsupport::MakeLocalWav(dir / "local.wav");
    auto* createUrl = reinterpret_cast<STREAMCREATEURLPROC*>(const_cast<void*>(PluginFace(2)));

    // A file URL of a plain audio file still opens.
    const std::string wavUrl = "file:" + local.path.string();
    HSTREAM wav = createUrl(wavUrl.c_str(), 0, kShortFlags, nullptr, nullptr);
    ASSERT_NE(wav, 0u);
    EXPECT_TRUE(testsupport::HoldsLocalPcm(ReadAll(wav), local));
    BASS_StreamFree(wav);

    testsupport::LoopbackListener listener;
    testsupport::OpenWatch watch(local.path);
    auto lastOpen = std::chrono::steady_clock::now();
    for (const auto& file : testsupport::HostileFiles(listener.Port(), local.path)) {
        const auto path = dir / (file.kind + ".m3u8");
        testsupport::WriteBytes(path, std::vector<uint8_t>(file.text.begin(), file.text.end()));
        for (const std::string& url : {path.string(), "file:" + path.string()}) {
            HSTREAM h = createUrl(url.c_str(), 0, kFloatFlags, nullptr, nullptr);
            if (h) {
                EXPECT_FALSE(testsupport::HoldsLocalPcm(ReadAll(h), local)) << url;
                BASS_StreamFree(h);
            }
            lastOpen = std::chrono::steady_clock::now();
        }
    }
    testsupport::WaitSince(lastOpen, 2000ms);
    EXPECT_EQ(listener.Connections(), 0);
    EXPECT_EQ(watch.Opens(), 0);
}

}  // namespace
