// FFmpeg's APE decoder run in-process, and the container read byte by byte.
#include "ape_reference.h"

#include <stdexcept>

#include "support/audio_fixtures.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace apetest {

namespace {

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// Appends one decoded frame as interleaved WAV-layout bytes.
void Append(const AVFrame* frame, int bits, std::vector<uint8_t>& out) {
    const int channels = frame->ch_layout.nb_channels;
    const auto format = static_cast<AVSampleFormat>(frame->format);
    const bool planar = av_sample_fmt_is_planar(format);
    const int size = av_get_bytes_per_sample(format);
    for (int i = 0; i < frame->nb_samples; ++i) {
        for (int c = 0; c < channels; ++c) {
            const uint8_t* p = planar ? frame->extended_data[c] + size_t(i) * size
                                      : frame->extended_data[0] + (size_t(i) * channels + c) * size;
            if (size == 1) {
                out.push_back(p[0]);
            } else if (size == 2) {
                out.insert(out.end(), {p[0], p[1]});
            } else if (bits == 24) {
                // 24-bit samples arrive in the top three bytes of 32.
                out.insert(out.end(), {p[1], p[2], p[3]});
            } else {
                out.insert(out.end(), p, p + 4);
            }
        }
    }
}

uint32_t U16(const std::vector<uint8_t>& b, size_t at) {
    return b.at(at) | uint32_t{b.at(at + 1)} << 8;
}
uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return U16(b, at) | U16(b, at + 2) << 16;
}

}  // namespace

Decoded FfmpegDecode(const std::filesystem::path& file) {
    Decoded result;
    AVFormatContext* format = nullptr;
    int status = avformat_open_input(&format, file.c_str(), nullptr, nullptr);
    if (status < 0) {
        result.error = "open: " + AvError(status);
        return result;
    }
    AVCodecContext* codec = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto fail = [&](const std::string& what, int code) {
        if (result.error.empty()) result.error = what + ": " + AvError(code);
    };
    if ((status = avformat_find_stream_info(format, nullptr)) < 0 || format->nb_streams != 1) {
        fail("stream info", status);
    } else {
        const AVCodecParameters* parameters = format->streams[0]->codecpar;
        const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
        codec = avcodec_alloc_context3(decoder);
        avcodec_parameters_to_context(codec, parameters);
        codec->err_recognition = AV_EF_CRCCHECK | AV_EF_EXPLODE;
        result.channels = parameters->ch_layout.nb_channels;
        result.bits = parameters->bits_per_raw_sample;
        result.rate = parameters->sample_rate;
        if ((status = avcodec_open2(codec, decoder, nullptr)) < 0) fail("codec", status);
        bool draining = false;
        while (result.error.empty()) {
            if (!draining) {
                status = av_read_frame(format, packet);
                if (status == AVERROR_EOF) {
                    draining = true;
                    status = avcodec_send_packet(codec, nullptr);
                } else if (status < 0) {
                    fail("read", status);
                    break;
                } else {
                    status = avcodec_send_packet(codec, packet);
                    av_packet_unref(packet);
                }
                if (status < 0) {
                    fail("decode", status);
                    break;
                }
            }
            while ((status = avcodec_receive_frame(codec, frame)) >= 0)
                Append(frame, result.bits, result.pcm);
            if (status == AVERROR_EOF) break;
            if (status != AVERROR(EAGAIN)) fail("decode", status);
        }
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    return result;
}

Layout ReadLayout(const std::vector<uint8_t>& file) {
    if (file.size() < 76 || std::string(file.begin(), file.begin() + 4) != "MAC ") {
        throw std::runtime_error("not a Monkey's Audio file");
    }
    Layout l;
    l.version = static_cast<uint16_t>(U16(file, 4));
    l.descriptorBytes = U32(file, 8);
    l.headerBytes = U32(file, 12);
    l.seekTableBytes = U32(file, 16);
    l.wavHeaderBytes = U32(file, 20);
    l.frameDataBytes = U32(file, 24) | uint64_t{U32(file, 28)} << 32;
    l.terminatingBytes = U32(file, 32);
    for (int i = 0; i < 16; ++i) l.md5[i] = file[36 + i];
    const size_t h = l.descriptorBytes;
    l.level = static_cast<uint16_t>(U16(file, h));
    l.flags = static_cast<uint16_t>(U16(file, h + 2));
    l.blocksPerFrame = U32(file, h + 4);
    l.finalFrameBlocks = U32(file, h + 8);
    l.totalFrames = U32(file, h + 12);
    l.bits = static_cast<uint16_t>(U16(file, h + 16));
    l.channels = static_cast<uint16_t>(U16(file, h + 18));
    l.sampleRate = U32(file, h + 20);
    const size_t seek = h + l.headerBytes;
    for (size_t i = 0; i < l.seekTableBytes / 4; ++i) l.seekTable.push_back(U32(file, seek + 4 * i));

    const size_t data = seek + l.seekTableBytes + l.wavHeaderBytes;
    if (data + l.frameDataBytes > file.size()) throw std::runtime_error("frame data past the end");
    std::vector<uint8_t> covered(file.begin() + static_cast<ptrdiff_t>(data),
                                 file.begin() + static_cast<ptrdiff_t>(data + l.frameDataBytes));
    covered.insert(covered.end(), file.begin() + static_cast<ptrdiff_t>(h),
                   file.begin() + static_cast<ptrdiff_t>(h + l.headerBytes));
    covered.insert(covered.end(), file.begin() + static_cast<ptrdiff_t>(seek),
                   file.begin() + static_cast<ptrdiff_t>(seek + l.seekTableBytes));
    l.expectedMd5Hex = testsupport::Md5Hex(covered);
    return l;
}

std::string Hex(const std::array<uint8_t, 16>& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (uint8_t b : bytes) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

}  // namespace apetest
