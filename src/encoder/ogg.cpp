// Ogg Vorbis writer: 32-bit float PCM encoded by libvorbis, framed into pages by libogg and written to the
// output file here. Both libraries are reached through the run-time binding, which the writer registry loads;
// without them every Ogg file fails before any output exists.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>

#include "bindings/unavorbisapi.h"
#include "encoder/writer_class.h"
#include "encoder/writers.h"

namespace {

namespace vb = unavorbisapi;

constexpr OptionRow kRows[] = {
    RateRow(&config::oggsrate),
    ModeRow(&config::oggmode),
    SliderRow("Label6", "Output Quality:", "levelbox", &config::oggquality, 0, 10),
};
constexpr FormatRule kFormat = {
    .formatTag = WAVE_FORMAT_IEEE_FLOAT, .rate = &kRows[0], .mode = &kRows[1], .bits = 32};
constexpr WriterFacts kFacts = {
    .name = "OGGwriter",
    .description = "OGG  - Ogg Vorbis Encoder",
    .extension = "ogg",
    .filter = "Ogg Vorbis files (*.ogg)|*.ogg",
    .dialog = {.caption = "OGG Encoder Options", .object = "oggEncoderForm", .height = 155, .rows = kRows},
    .format = &kFormat};

// A stream serial in 0 ... 2147483646. One generator seeded once for the process: writers created in the same
// instant still get independent serials.
int RandomSerial() {
    static std::mutex lock;
    static std::mt19937 generator{std::random_device{}()};
    std::lock_guard<std::mutex> guard(lock);
    return std::uniform_int_distribution<int>(0, 2147483646)(generator);
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The libogg and libvorbis states of one stream, cleared in the reverse order of their set-up, each only when
// it was set up (also after a constructor that failed half-way).
struct VorbisStream {
    ogg_stream_state stream;
    ogg_page page;
    ogg_packet packet;
    vorbis_info info;
    vorbis_comment comments;
    vorbis_dsp_state state;
    vorbis_block block;
    ogg_packet headers[3];
    int stage = 0;  // 1 info, 2 encoder set up, 3 comments, 4 analysis, 5 block, 6 stream

    VorbisStream() {
        std::memset(&stream, 0, sizeof stream);
        std::memset(&page, 0, sizeof page);
        std::memset(&packet, 0, sizeof packet);
        std::memset(&info, 0, sizeof info);
        std::memset(&comments, 0, sizeof comments);
        std::memset(&state, 0, sizeof state);
        std::memset(&block, 0, sizeof block);
        std::memset(headers, 0, sizeof headers);
    }
    ~VorbisStream() {
        if (stage >= 5) vb::vorbis_block_clear(&block);
        if (stage >= 4) vb::vorbis_dsp_clear(&state);
        if (stage >= 3) vb::vorbis_comment_clear(&comments);
        if (stage >= 1) vb::vorbis_info_clear(&info);
        if (stage >= 6) vb::ogg_stream_clear(&stream);
    }
    VorbisStream(const VorbisStream&) = delete;
    VorbisStream& operator=(const VorbisStream&) = delete;
};

class OGGwriter : public Tencoder {
  public:
    explicit OGGwriter(const WriterSetup& setup) : Tencoder(setup) {
        if (vb::State(vb::Library::Ogg) <= 0 || vb::State(vb::Library::Vorbis) <= 0)
            throw EEncoderError(kEncoderLibraryMissing);
        const WAVEFORMATEX& format = setup.input;
        channels_ = format.nChannels;
        VorbisStream& v = v_;
        vb::vorbis_info_init(&v.info);
        v.stage = 1;
        // The slider's 0 ... 10 as libvorbis's 0.0 ... 1.0; a stored value outside it is clamped.
        const float quality = static_cast<float>(std::clamp(setup.settings.oggquality, 0, 10)) / 10.0f;
        if (vb::vorbis_encode_init_vbr(&v.info, channels_, static_cast<long>(format.nSamplesPerSec),
                                       quality) != 0) {
            throw EEncoderError(kOggInitFailed);
        }
        v.stage = 2;
        vb::vorbis_comment_init(&v.comments);
        v.stage = 3;
        char key[] = "ENCODER";
        char value[] = "Wavetrove";
        vb::vorbis_comment_add_tag(&v.comments, key, value);
        if (vb::vorbis_analysis_init(&v.state, &v.info) != 0) throw EEncoderError(kOggInitFailed);
        v.stage = 4;
        vb::vorbis_block_init(&v.state, &v.block);
        v.stage = 5;
        vb::ogg_stream_init(&v.stream, RandomSerial());
        v.stage = 6;
        vb::vorbis_analysis_headerout(&v.state, &v.comments, &v.headers[0], &v.headers[1], &v.headers[2]);
        for (ogg_packet& header : v.headers) vb::ogg_stream_packetin(&v.stream, &header);
        // The file is created once the encoder is set up, so a refused set-up leaves nothing behind.
        output_.reset(std::fopen(setup.fileName.c_str(), "wb"));
        if (!output_) throw EEncoderError(kOggCreateFailed);
        // The headers on pages of their own: the audio starts on a fresh page.
        WritePages(true);
    }

    int Write(const uint8_t* block, uint32_t length) override {
        const uint32_t frames = length / (channels_ * sizeof(float));
        // A call for no frames would tell libvorbis the stream has ended.
        if (frames == 0) return 0;
        float** buffer = vb::vorbis_analysis_buffer(&v_.state, static_cast<int>(frames));
        if (!buffer) throw EEncoderError(kEncoderLibraryMissing);
        for (int c = 0; c < channels_; ++c) {
            float* out = buffer[c];
            const uint8_t* in = block + static_cast<size_t>(c) * sizeof(float);
            const size_t stride = static_cast<size_t>(channels_) * sizeof(float);
            for (uint32_t j = 0; j < frames; ++j, in += stride) std::memcpy(&out[j], in, sizeof(float));
        }
        vb::vorbis_analysis_wrote(&v_.state, static_cast<int>(frames));
        return static_cast<int>(Drain());
    }

  protected:
    // The end of the stream: libvorbis hands out the last packets, libogg closes the last page with the
    // end-of-stream flag; a failed write or close of the file fails it.
    void Complete() override {
        vb::vorbis_analysis_wrote(&v_.state, 0);
        Drain();
        std::FILE* file = output_.release();
        if (std::fclose(file) != 0) throw EEncoderError(kDataWriteError);
    }

  private:
    // Takes every block libvorbis has ready through analysis and the bit-rate manager into pages.
    size_t Drain() {
        size_t written = 0;
        while (vb::vorbis_analysis_blockout(&v_.state, &v_.block) == 1) {
            vb::vorbis_analysis(&v_.block, nullptr);
            vb::vorbis_bitrate_addblock(&v_.block);
            while (vb::vorbis_bitrate_flushpacket(&v_.state, &v_.packet) != 0) {
                vb::ogg_stream_packetin(&v_.stream, &v_.packet);
                written += WritePages(false);
            }
        }
        return written;
    }

    // Writes every page libogg has complete (or, flushing, every packet it holds) to the file.
    size_t WritePages(bool flush) {
        size_t written = 0;
        while ((flush ? vb::ogg_stream_flush(&v_.stream, &v_.page)
                      : vb::ogg_stream_pageout(&v_.stream, &v_.page)) > 0) {
            const auto header = static_cast<size_t>(v_.page.header_len);
            const auto body = static_cast<size_t>(v_.page.body_len);
            if (std::fwrite(v_.page.header, 1, header, output_.get()) != header ||
                std::fwrite(v_.page.body, 1, body, output_.get()) != body) {
                throw EEncoderError(kDataWriteError);
            }
            written += header + body;
            bytesWritten_ = static_cast<int32_t>(header + body);
        }
        return written;
    }

    VorbisStream v_;
    int channels_ = 1;
    int32_t bytesWritten_ = 0;
    std::unique_ptr<std::FILE, FileCloser> output_;
};

const WriterClass<OGGwriter> kClass(kFacts);

}  // namespace

const EncoderClass& OGGwriterClass = kClass;
