// The class type of a writer whose encoder library is not part of this build: it answers the registry's
// questions with the writer's own facts, and creating a writer fails cleanly before any output exists.
#pragma once

#include "encoder/maker.h"

struct UnavailableWriterFacts {
    const char* name;
    const char* description;
    const char* extension;
    const char* filter;
    bool canCopyTags;
    bool writesTags;  // false: WriteTags writes nothing and answers true
};

class UnavailableEncoderClass final : public EncoderClass {
  public:
    explicit constexpr UnavailableEncoderClass(const UnavailableWriterFacts& facts)
        : EncoderClass(facts.name), facts_(facts) {}

    bool CanCopyTags() const override { return facts_.canCopyTags; }
    bool WriteTags(const std::string& fileName, const TagFrame& tags) const override;
    // The source's format unchanged: no encoder decides otherwise yet.
    WAVEFORMATEX GetInputFormat(const WAVEFORMATEX& source) const override { return source; }
    std::string GetExtension() const override { return facts_.extension; }
    std::string GetFilter() const override { return facts_.filter; }
    std::string GetDescription() const override { return facts_.description; }
    void ShowOptions() const override { ShowDialog(); }
    // Always raises kEncoderLibraryMissing.
    std::unique_ptr<Tencoder> Create(const std::string& fileName, const WAVEFORMATEX& source) const override;

  private:
    const UnavailableWriterFacts facts_;
};
