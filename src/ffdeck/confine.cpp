// What FFmpeg may open for a stream. A file is untrusted input: playlist-style demuxers would follow the
// addresses written inside it (network, local files), so each format context reads only the input it was
// given, and probing may only pick demuxers whose audio lies within that input.
#include <cerrno>
#include <cstring>
#include <string>

extern "C" {
#include <libavutil/opt.h>
}

#include "ffdeck/ffdeck.h"

namespace ffdeck {

namespace {

// Demuxers of formats that hold their audio in the input itself: audio formats and the containers that
// carry them. Left out on purpose: everything that opens other resources by name (hls, dash, concat,
// image2, imf, sdp, rtsp, rtp, vobsub, webm_dash_manifest, ...), devices, images, subtitles and text, and
// the tracker and chip-music demuxers (the host renders modules itself).
constexpr const char* kAudioDemuxers[] = {
    // containers
    "mov", "matroska", "ogg", "asf", "rm", "avi", "flv", "nut", "mpeg", "mpegts",
    // audio formats
    "aa", "aac", "aax", "ac3", "ace", "acm", "act", "adp", "ads", "adx", "aea", "afc", "aiff", "aix", "alp",
    "amr", "amrnb", "amrwb", "apc", "ape", "apm", "aptx", "aptx_hd", "argo_asf", "argo_cvg", "ast", "au",
    "avr", "bfstm", "binka", "bit", "boa", "brstm", "caf", "codec2", "dcstr", "derf", "dfpwm", "dsf", "dss",
    "dts", "dtshd", "eac3", "epaf", "flac", "fsb", "fwse", "g722", "g723_1", "g726", "g726le", "g729", "genh",
    "gsm", "hca", "hcom", "iff", "ilbc", "ircam", "iss", "kvag", "loas", "mca", "mlp", "mmf", "mp3", "mpc",
    "mpc8", "msf", "mtaf", "musx", "nistsphere", "nsp", "oma", "pp_bnk", "pvf", "qcp", "rsd", "rso", "s337m",
    "sbc", "scd", "sds", "sdx", "shn", "sln", "sol", "sox", "spdif", "svag", "svs", "tak", "truehd", "tta",
    "vag", "voc", "vpk", "vqf", "w64", "wav", "wsaud", "wsd", "wv", "wve", "xa", "xvag", "xwma"};

// Protocols a URL the caller names may use, with the transports http and https need beneath them.
constexpr const char* kUrlProtocols = "file,http,https,tcp,tls";

using IoOpen = int (*)(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**);

// FFmpeg's own opener, which every new format context starts with.
IoOpen DefaultIoOpen() {
    static const IoOpen open = [] {
        AVFormatContext* fresh = avformat_alloc_context();
        IoOpen found = fresh ? fresh->io_open : nullptr;
        avformat_free_context(fresh);
        return found;
    }();
    return open;
}

// Every open that FFmpeg asks for on an input the host reads is an address named inside the file.
int RefuseEveryOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
    return AVERROR(EPERM);
}

// A URL stream opens its own URL once, before the context has an input; anything after that was named by
// what the URL delivered.
int OpenOnlyTheUrl(AVFormatContext* context, AVIOContext** pb, const char* url, int flags,
                   AVDictionary** options) {
    const bool topLevel = pb == &context->pb && context->pb == nullptr && url && context->url &&
                          std::strcmp(url, context->url) == 0;
    const IoOpen open = DefaultIoOpen();
    if (!topLevel || !open) return AVERROR(EPERM);
    return open(context, pb, url, flags, options);
}

const std::string& AudioDemuxerList() {
    static const std::string list = [] {
        std::string joined;
        for (const char* name : kAudioDemuxers) {
            if (!joined.empty()) joined += ',';
            joined += name;
        }
        return joined;
    }();
    return list;
}

}  // namespace

const char* AllowedDemuxers() {
    return AudioDemuxerList().c_str();
}

bool ConfineInput(AVFormatContext* context, bool ownUrl) {
    context->io_open = ownUrl ? OpenOnlyTheUrl : RefuseEveryOpen;
    // An empty list admits no protocol, also for the inner contexts some demuxers create with copies of
    // these lists instead of this context's opener.
    return av_opt_set(context, "protocol_whitelist", ownUrl ? kUrlProtocols : "", 0) >= 0 &&
           av_opt_set(context, "format_whitelist", AudioDemuxerList().c_str(), 0) >= 0;
}

}  // namespace ffdeck
