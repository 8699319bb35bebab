// The writer interface: the abstract Tencoder every output format derives from, the class type the writer
// registry keeps per writer class, and the hook through which writers open their option dialogs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>

#include "audioformat/audioformat.h"
#include "encoder/messages.h"
#include "wvt/config.h"

// A writer failure; the message is the writer's fixed text. A writer may add what the system or its library
// said (a detail such as "No space left on device"), which the log shows after the message.
class EEncoderError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
    EEncoderError(const std::string& message, std::string detail)
        : std::runtime_error(message), detail_(std::move(detail)) {}

    const std::string& Detail() const { return detail_; }
    // The message followed by the detail, when there is one.
    std::string Reason() const { return detail_.empty() ? std::string(what()) : what() + (": " + detail_); }

  private:
    std::string detail_;
};

// What a writer is constructed from; lives only as long as the constructor runs.
struct WriterSetup {
    const std::string& fileName;  // the output, written under exactly this name
    const WAVEFORMATEX& source;   // the format stored in the source
    const WAVEFORMATEX& input;    // the format of the blocks Write receives (the class's GetInputFormat)
    const config& settings;       // the settings of this conversion
};

// Abstract writer: receives PCM blocks in its input format and writes one output file. Destroying it
// finishes the file (flush, trailer, close). Finishing can fail (a full disk at the last flush), and a
// destructor must not raise: so the pipeline calls Finish first, which raises such a failure, and only
// then destroys the writer. A writer destroyed unfinished is finished by its destructor (WriterClass
// arranges that), where a failure can only be dropped: the file is being abandoned anyway.
class Tencoder {
  public:
    explicit Tencoder(const WriterSetup& setup) : InputFormat_(setup.input), FileName_(setup.fileName) {}
    virtual ~Tencoder() = default;
    Tencoder(const Tencoder&) = delete;
    Tencoder& operator=(const Tencoder&) = delete;

    // Encodes one block of interleaved PCM in the input format; errors are raised.
    virtual int Write(const uint8_t* block, uint32_t length) = 0;
    // The file the writer creates: the name it was given.
    virtual std::string GetFileName() const { return FileName_; }
    // Completes the file once (later calls do nothing); raises EEncoderError when that fails.
    void Finish();

    // A faster road for sources that store integers: the bit depth this writer stores when it can also
    // take 32-bit integer blocks at full scale (sample-format code 8) at its input rate and channel count,
    // or 0 when it cannot. Samples of at most that depth come out exactly as through the input format.
    virtual int Int32Depth() const { return 0; }
    // From now on Write takes such blocks. Called before the first Write, only when Int32Depth() > 0.
    virtual void UseInt32Input() {}
    // Raises EEncoderError when the format cannot hold `frames` sample frames of the input format (the
    // source's length as far as it is known before the first Write), so such a file fails at once instead
    // of after most of the work. A writer must still check while writing: the length may be an estimate.
    // Base: any length.
    virtual void CheckLength(uint64_t /*frames*/) const {}

    const WAVEFORMATEX& InputFormat() const { return InputFormat_; }

  protected:
    // The writer's finishing work: flush the encoder, write trailers, close the file; raises EEncoderError
    // on failure. Runs at most once, from Finish or from the destructor of an unfinished writer.
    virtual void Complete() {}
    // For destructors: Finish, dropping a failure. The most derived writer's destructor calls it (for
    // writers made by WriterClass its wrapper does), while the whole writer still exists.
    void FinishQuietly() noexcept;

  private:
    const WAVEFORMATEX InputFormat_;
    const std::string FileName_;
    bool finished_ = false;
};

class EncoderClass;
struct WriterFacts;

// The option dialogs live in the GUI; it installs an implementation of this at start. `mode` and `caption`
// matter only for the dialog the WAV and AIFF writers share (mode 1 = WAV, 2 = AIFF); others pass 0 and "".
class OptionsDialogs {
  public:
    virtual ~OptionsDialogs() = default;
    virtual void Show(const EncoderClass& writer, int mode, const std::string& caption) = 0;
};

// Installs (or, with null, removes) the dialogs; not owned.
void SetOptionsDialogs(OptionsDialogs* dialogs);

// The class reference of one concrete writer class: the registry, the naming step and the main window ask
// it questions without an object, and the pipeline constructs writers through it. One static instance
// exists per concrete class.
class EncoderClass {
  public:
    explicit constexpr EncoderClass(const char* name) : name_(name) {}
    virtual ~EncoderClass() = default;
    EncoderClass(const EncoderClass&) = delete;
    EncoderClass& operator=(const EncoderClass&) = delete;

    // Name of the concrete writer class, e.g. "WAVwriter".
    const char* Name() const { return name_; }

    // The facts of a class built on the writer skeleton (writer_class.h); null for others.
    virtual const WriterFacts* Facts() const { return nullptr; }

    virtual bool CanCopyTags() const { return true; }
    // Base: writes the frame into the finished file through the tag library.
    virtual bool WriteTags(const std::string& fileName, const TagFrame& tags) const;
    // The PCM format in which the writer wants its blocks, from the source's format and `settings` (a
    // conversion's own copy; the live settings when none are given).
    virtual WAVEFORMATEX GetInputFormat(const WAVEFORMATEX& source, const config& settings) const = 0;
    WAVEFORMATEX GetInputFormat(const WAVEFORMATEX& source) const { return GetInputFormat(source, Config); }
    virtual std::string GetExtension() const = 0;  // lower case, no dot
    virtual std::string GetFilter() const = 0;
    virtual bool HasOptions() const { return true; }
    virtual std::string GetDescription() const = 0;
    virtual void ShowOptions() const = 0;
    // Creates the output under exactly `fileName` and opens the encoder; raises EEncoderError on any
    // failure, leaving no output behind.
    virtual std::unique_ptr<Tencoder> Create(const std::string& fileName, const WAVEFORMATEX& source,
                                             const config& settings) const = 0;
    std::unique_ptr<Tencoder> Create(const std::string& fileName, const WAVEFORMATEX& source) const {
        return Create(fileName, source, Config);
    }

  protected:
    // Shows this class's dialog through the installed OptionsDialogs; nothing happens without one.
    void ShowDialog(int mode = 0, const std::string& caption = {}) const;

  private:
    const char* name_;
};

// Decimal text of a track or year as the base WriteTags stores it: 0 unless the whole text is a decimal
// integer above 0.
unsigned TagNumber(const std::string& text);

// The writers' nearest-entry choice: walks from the first entry while the next one is strictly nearer to
// `value` and answers the index where the walk stops, so a tie keeps the earlier entry. `table` is not empty.
size_t NearestEntry(std::span<const int> table, int value);
