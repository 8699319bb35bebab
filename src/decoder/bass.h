// The BASS stream source TBASSReaderu, base of every per-format source, and the class type that gives each
// format source its constant extension table, float choice and tag-copy answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/bass/bass.h"
#include "decoder/reader.h"

class TBASSReaderu : public TDecoder {
  public:
    // The stream constructor (Create): opens `fileName` as a decode-only stream; never raises for input that
    // can't be decoded, it leaves an invalid source instead.
    TBASSReaderu(const std::string& fileName, bool floatOutput);
    ~TBASSReaderu() override;

    std::string GetFormatText() const override;
    int GetDuration() const override { return duration_; }
    int ReadBlock(const uint8_t*& data, uint32_t& count) override;
    int GetProgress() const override { return progress_; }
    int GetChannels() const override { return channels_; }
    int GetSampleRate() const override { return sampleRate_; }
    int GetBitsPerSample() const override { return bits_; }
    int GetSampleFormat() const override {
        return int32Output_ ? SAMPLE_FORMAT_32BIT : floatOutput_ ? SAMPLE_FORMAT_FLOAT : SAMPLE_FORMAT_16BIT;
    }
    bool IsValid() const override { return valid_; }
    uint16_t GetFormatTag() const override;
    void Rewind() override;
    std::string GetCodecName() const override;
    const char* ClassName() const override { return "TBASSReaderu"; }
    // Reopens the stream for 32-bit integers when the input stores integers and its decoder gives them.
    bool DeliverInt32() override;

    static constexpr size_t kBufferSize = 131072;
    static constexpr DWORD kFlagsFloat = 0x80220100;  // Unicode name, decode only, prescan, float
    static constexpr DWORD kFlags16Bit = 0x80220000;  // the same, 16-bit integer
    static constexpr DWORD kFlagsInt32 = kFlagsFloat | BASS_SAMPLE_INT32;

  protected:
    std::unique_ptr<uint8_t[]> buffer_;
    BASS_CHANNELINFO info_{};
    int64_t length_ = 0;
    uint64_t bytesRead_ = 0;
    float progressFactor_ = 0.0f;
    int progress_ = 0;
    int channels_ = 0;
    int sampleRate_ = 0;
    int duration_ = 0;
    int bits_ = 0;
    bool valid_ = false;
    bool floatOutput_ = false;
    bool int32Output_ = false;
    uint32_t channelType_ = 0;
    uint32_t handle_ = 0;
};

// One row of a format source's constant table.
struct FormatEntry {
    const char* name;
    const char* extension;
};

// Class reference of a format source derived from TBASSReaderu. `Reader` provides Reader(fileName), which
// uses the format's float choice, and Reader(fileName, floatOutput).
template <class Reader>
class BassSourceClass final : public DecoderClass {
  public:
    constexpr BassSourceClass(const char* name, std::span<const FormatEntry> formats, bool canCopyTags)
        : DecoderClass(name), formats_(formats), canCopyTags_(canCopyTags) {}

    bool GetFormats(TFormats& formats) const override {
        formats.clear();
        for (const FormatEntry& entry : formats_) formats.push_back({entry.name, entry.extension});
        return true;
    }
    bool CanCopyTags() const override { return canCopyTags_; }
    std::unique_ptr<TDecoder> CreateFromFile(const std::string& fileName) const override {
        return std::make_unique<Reader>(fileName);
    }
    std::unique_ptr<TDecoder> Create(const std::string& fileName, bool floatOutput) const override {
        return std::make_unique<Reader>(fileName, floatOutput);
    }

  private:
    std::span<const FormatEntry> formats_;
    bool canCopyTags_;
};
