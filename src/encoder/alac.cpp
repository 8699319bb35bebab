// ALAC writer: integer PCM gathered into packets of 4096 frames, each encoded by libalac.so and written as
// one sample of an Apple Lossless track in an MP4 file; the last, shorter packet is written as it is.
#include <array>
#include <memory>

#include "bindings/libalac.h"
#include "encoder/m4a.h"
#include "encoder/writer_class.h"
#include "encoder/writers.h"

namespace {

constexpr std::array<int, 2> kBits = {16, 24};

constexpr CheckItem kFastMode[] = {{"Fast Mode", "fastmode", &config::alacfastmode}};
constexpr OptionRow kRows[] = {
    RateRow(&config::alacsamplerate),
    ModeRow(&config::alacmode),
    ChecksRow(kFastMode),
};
// ALAC holds at most eight channels.
constexpr FormatRule kFormat = {.rate = &kRows[0], .mode = &kRows[1], .maxChannels = 8, .depths = kBits};
constexpr WriterFacts kFacts = {
    .name = "ALACwriter",
    .description = "ALAC - MPEG4 Apple Lossless Audio Encoder",
    .extension = "m4a",
    .filter = "MPEG4 Apple Lossless (*.m4a)|*.m4a",
    .lossless = true,
    .dialog = {.caption = "ALAC Encoder Options", .object = "alacEncoderForm", .rows = kRows},
    .format = &kFormat};

struct EncoderDeleter {
    void operator()(void* encoder) const { DeleteALAC(encoder); }
};

class ALACwriter : public Tencoder {
  public:
    explicit ALACwriter(const WriterSetup& setup)
        : Tencoder(setup),
          inputFormat_(InputDescription(setup.input)),
          outputFormat_(OutputDescription(setup.input)),
          staging_(setup.input.nSamplesPerSec, inputFormat_.mBytesPerFrame * kALACDefaultFramesPerPacket),
          output_(std::max<size_t>(size_t{16} * setup.input.nSamplesPerSec,
                                   size_t{2} * inputFormat_.mBytesPerFrame * kALACDefaultFramesPerPacket)) {
        encoder_.reset(NewALAC(outputFormat_, setup.settings.alacfastmode ? 1 : 0));
        if (!encoder_) throw EEncoderError(kAlacCreateFailed);
        std::vector<uint8_t> cookie(ALAC_GetMagicCookieSize(encoder_.get(), outputFormat_));
        ALAC_GetMagicCookie(encoder_.get(), static_cast<uint32_t>(cookie.size()), cookie.data());
        file_.Reset(MP4CreateEx2(setup.fileName.c_str()));
        if (!file_.get()) throw EEncoderError(kMp4CreateFailed);
        // The movie counts in samples too, so the track's length is exact in either time scale.
        MP4SetTimeScale(file_.get(), setup.input.nSamplesPerSec);
        track_ = MP4AddAlacAudioTrack(file_.get(), cookie.data(), static_cast<uint32_t>(cookie.size()));
        ready_ = true;
    }

    int Write(const uint8_t* block, uint32_t length) override {
        if (!ready_) return 0;
        int written = 0;
        staging_.Add(block, length, [&](uint8_t* packet) {
            written += Encode(packet, inputFormat_.mBytesPerFrame * kALACDefaultFramesPerPacket);
        });
        return written;
    }

  protected:
    // The pending frames as one short packet without padding, then the movie: a sample or a movie that
    // cannot be written (a full disk) fails the file.
    void Complete() override {
        if (ready_) {
            ready_ = false;
            if (staging_.Pending() > 0) Encode(staging_.Data(), static_cast<uint32_t>(staging_.Pending()));
            staging_.Clear();
        }
        if (!file_.Close()) throw EEncoderError(kDataWriteError);
    }

  private:
    static AudioFormatDescription InputDescription(const WAVEFORMATEX& format) {
        const uint32_t frameBytes = format.wBitsPerSample / 8u * format.nChannels;
        return {.mSampleRate = static_cast<double>(format.nSamplesPerSec),
                .mFormatID = kALACFormatLinearPCM,
                .mFormatFlags = kALACFormatFlagIsSignedInteger | kALACFormatFlagIsPacked,
                .mBytesPerPacket = frameBytes,
                .mFramesPerPacket = 1,
                .mBytesPerFrame = frameBytes,
                .mChannelsPerFrame = format.nChannels,
                .mBitsPerChannel = format.wBitsPerSample,
                .mReserved = 0};
    }
    static AudioFormatDescription OutputDescription(const WAVEFORMATEX& format) {
        return {.mSampleRate = static_cast<double>(format.nSamplesPerSec),
                .mFormatID = kALACFormatAppleLossless,
                .mFormatFlags = format.wBitsPerSample == 24 ? kALACFormatFlag24BitSourceData
                                                            : kALACFormatFlag16BitSourceData,
                .mBytesPerPacket = 0,
                .mFramesPerPacket = kALACDefaultFramesPerPacket,
                .mBytesPerFrame = 0,
                .mChannelsPerFrame = format.nChannels,
                .mBitsPerChannel = 0,
                .mReserved = 0};
    }

    // One packet of `bytes` PCM bytes: encoded and written as one sample lasting its frames; answers the
    // packet's size.
    int Encode(const uint8_t* pcm, uint32_t bytes) {
        int32_t size = static_cast<int32_t>(bytes);
        ALAC_Encode(encoder_.get(), inputFormat_, outputFormat_, pcm, output_.data(), &size);
        if (size <= 0) return 0;
        const MP4Duration frames = bytes / inputFormat_.mBytesPerFrame;
        if (!MP4WriteSample(file_.get(), track_, output_.data(), static_cast<uint32_t>(size), frames,
                            renderingOffset_, true)) {
            throw EEncoderError(kDataWriteError);
        }
        return size;
    }

    const AudioFormatDescription inputFormat_;
    const AudioFormatDescription outputFormat_;
    Staging staging_;
    std::vector<uint8_t> output_;
    const MP4Duration renderingOffset_ = 0;
    // The encoder goes before the file it wrote into.
    Mp4File file_;
    std::unique_ptr<void, EncoderDeleter> encoder_;
    MP4TrackId track_ = MP4_INVALID_TRACK_ID;
    bool ready_ = false;
};

const WriterClass<ALACwriter> kClass(kFacts);

}  // namespace

const EncoderClass& ALACwriterClass = kClass;
