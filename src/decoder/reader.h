// The audio source interface: the abstract TDecoder every input source derives from, the class type the
// source registry keeps per source class, and the format declarations of source classes.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "audioformat/audioformat.h"

// One (display name, ".ext") pair by which a source class declares an extension it reads.
struct TFormatDescription {
    std::string name;
    std::string extension;  // lower case, with its leading dot
};
using TFormats = std::vector<TFormatDescription>;

// Raised when an operation a class does not provide is called (the run-time library's abstract-method error).
class EAbstractError : public std::logic_error {
  public:
    EAbstractError() : std::logic_error("Abstract Error") {}
};

// Extension of a file name as the registry and the sources use it: from the last dot of the last path
// component on, dot included; empty when there is none. Case is kept.
std::string ExtractFileExt(const std::string& fileName);

// Abstract audio source: opens one input and delivers it as interleaved PCM blocks.
class TDecoder {
  public:
    explicit TDecoder(std::string fileName) : FileName_(std::move(fileName)) {}
    virtual ~TDecoder() = default;
    TDecoder(const TDecoder&) = delete;
    TDecoder& operator=(const TDecoder&) = delete;

    virtual std::string GetFormatText() const = 0;
    virtual int GetDuration() const = 0;  // whole seconds, truncated
    // Result 0: `data`/`count` hold the next block (possibly empty, ask again). Result 1: ended or
    // unreadable. The block stays valid until the next call or the source's destruction.
    virtual int ReadBlock(const uint8_t*& data, uint32_t& count) = 0;
    virtual int GetProgress() const = 0;  // 0..100
    virtual int GetChannels() const = 0;
    virtual int GetSampleRate() const = 0;
    virtual int GetBitsPerSample() const = 0;  // depth stored in the input, not of the delivered blocks
    virtual int GetSampleFormat() const = 0;   // sample-format code of the delivered blocks
    virtual bool IsValid() const = 0;
    virtual uint16_t GetFormatTag() const = 0;
    virtual void Rewind() = 0;
    // Base: through the tag library; a file it can't open gives an empty frame.
    virtual void GetTags(TagFrame& tags) const;
    // Base: the file name's extension without its dot, upper case ("FLAC").
    virtual std::string GetCodecName() const;
    // Name of the concrete source class, e.g. "TFLACReader".
    virtual const char* ClassName() const { return "TDecoder"; }

    // A faster road for inputs that store integers: switches ReadBlock to 32-bit integer blocks at full
    // scale (the stored bits at the top, sample-format code 8, which GetSampleFormat then answers), taken
    // from the decoder's integers without a float round trip. Only before the first ReadBlock; answers
    // false, changing nothing, when the source cannot. Base: false.
    virtual bool DeliverInt32() { return false; }

    // Format stored in the input (not the layout of the delivered blocks), as writers are constructed with
    // it.
    WAVEFORMATEX GetWaveFormat() const;
    const std::string& FileName() const { return FileName_; }

  protected:
    std::string FileName_;
};

// The class reference of one concrete source class: the registry asks it questions without an object and
// constructs sources through it. One static instance exists per concrete class.
class DecoderClass {
  public:
    explicit constexpr DecoderClass(const char* name) : name_(name) {}
    virtual ~DecoderClass() = default;
    DecoderClass(const DecoderClass&) = delete;
    DecoderClass& operator=(const DecoderClass&) = delete;

    const char* Name() const { return name_; }

    // Base: clears the array and answers false (the class reads no format).
    virtual bool GetFormats(TFormats& formats) const;
    virtual bool CanCopyTags() const { return true; }
    // The registry's constructor. Base: raises EAbstractError.
    virtual std::unique_ptr<TDecoder> CreateFromFile(const std::string& fileName) const;
    // The stream constructor of the BASS-based sources. Base: raises EAbstractError.
    virtual std::unique_ptr<TDecoder> Create(const std::string& fileName, bool floatOutput) const;

    // "*.mp3;*.mp2"; empty when GetFormats answers false.
    std::string GetExtensionMask() const;
    // "MP3 Files (*.mp3;*.mp2)|*.mp3;*.mp2", one entry per distinct name joined with "|".
    std::string GetFilterString() const;
    // Exact, case-sensitive match against the table; callers pass the lower-cased extension with its dot.
    bool SupportsExtension(const std::string& extension) const;

  private:
    const char* name_;
};
