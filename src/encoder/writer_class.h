// The writer skeleton: a writer is its facts (a `WriterFacts` record with its option rows and format
// rule) and its `Tencoder` subclass; `WriterClass<Writer>` answers every class question from the facts and
// constructs the writer. See docs/notes.md, "Adding a writer".
#pragma once

#include <memory>
#include <span>
#include <string>

#include "encoder/maker.h"
#include "encoder/options.h"

// How a writer chooses the PCM format of its blocks from the source's format and the settings: the
// recurring "rate index / mode / bits" choice.
struct FormatRule {
    uint16_t formatTag = WAVE_FORMAT_PCM;
    // The rate: the rate row's item value; "Same As Original" (0) keeps the source's rate, or with
    // `nearestRate` takes the listed rate nearest to it. Without a rate row, `fixedRate` or the source's.
    const OptionRow* rate = nullptr;
    bool nearestRate = false;
    uint32_t fixedRate = 0;
    // The channels: the mode row's item value; 0 keeps the source's count, capped at `maxChannels` when
    // that is not 0. Without a mode row, `fixedChannels` or the source's.
    const OptionRow* mode = nullptr;
    uint16_t maxChannels = 0;
    uint16_t fixedChannels = 0;
    // The depth: the entry of `depths` nearest to the source's, or `bits` when there are none.
    std::span<const int> depths{};
    uint16_t bits = 16;
};

WAVEFORMATEX ChooseFormat(const FormatRule& rule, const WAVEFORMATEX& source, const config& settings);

// Everything the registry, the naming step, the main window and the tests ask a writer class.
struct WriterFacts {
    const char* name;             // the class name, e.g. "MP3writer"
    const char* description;      // the format box text, e.g. "MP3  - Lame MP3 Encoder"
    const char* extension;        // lower case, no dot
    const char* filter;           // file-dialog filter
    bool canCopyTags = true;      // the tag library copies tags into this format's files
    bool writesTags = true;       // false: the files carry no tags; WriteTags writes nothing and answers true
    bool lossless = false;        // integer PCM comes back bit-identical at the same rate, channels and depth
    bool hasOptions = true;       // an option dialog exists (enables "Encoder options...")
    OptionsDialogFacts dialog{};  // its caption, size and rows
    const FormatRule* format = nullptr;  // null: the writer takes the source's format unchanged
};

// What WriterClass creates: the writer, finished by its destructor when the pipeline did not finish it.
// (So a writer class itself is not final.)
template <typename Writer>
class FinishingWriter final : public Writer {
  public:
    using Writer::Writer;
    ~FinishingWriter() override { this->FinishQuietly(); }
};

// A writer class built from its facts. `Writer` is the writer's Tencoder subclass, constructed from a
// WriterSetup: it opens the output in its constructor (raising EEncoderError on any failure, leaving no
// file), encodes in Write and completes the file in Complete (raising on failure). Its destructor and its
// members' only release what is still held.
template <typename Writer>
class WriterClass final : public EncoderClass {
  public:
    explicit constexpr WriterClass(const WriterFacts& facts) : EncoderClass(facts.name), facts_(facts) {}

    using EncoderClass::Create;
    using EncoderClass::GetInputFormat;

    const WriterFacts* Facts() const override { return &facts_; }
    bool CanCopyTags() const override { return facts_.canCopyTags; }
    bool WriteTags(const std::string& fileName, const TagFrame& tags) const override {
        return facts_.writesTags ? EncoderClass::WriteTags(fileName, tags) : true;
    }
    WAVEFORMATEX GetInputFormat(const WAVEFORMATEX& source, const config& settings) const override {
        return facts_.format ? ChooseFormat(*facts_.format, source, settings) : source;
    }
    std::string GetExtension() const override { return facts_.extension; }
    std::string GetFilter() const override { return facts_.filter; }
    bool HasOptions() const override { return facts_.hasOptions; }
    std::string GetDescription() const override { return facts_.description; }
    void ShowOptions() const override {
        if (!facts_.hasOptions) return;
        if (facts_.dialog.sharedMode != 0) {
            ShowDialog(facts_.dialog.sharedMode, facts_.dialog.caption);
        } else {
            ShowDialog();
        }
    }
    std::unique_ptr<Tencoder> Create(const std::string& fileName, const WAVEFORMATEX& source,
                                     const config& settings) const override {
        const WAVEFORMATEX input = GetInputFormat(source, settings);
        return std::make_unique<FinishingWriter<Writer>>(WriterSetup{fileName, source, input, settings});
    }

  private:
    const WriterFacts& facts_;
};

// The writer of a format whose encoder library is not part of this build: creating one fails with
// kEncoderLibraryMissing before any output exists.
class UnavailableWriter : public Tencoder {
  public:
    [[noreturn]] explicit UnavailableWriter(const WriterSetup&);
    int Write(const uint8_t*, uint32_t) override { return 0; }
};
