// The per-file conversion: open a source and a writer with a converter between them, pump the PCM
// blocks through, release everything, then finish the file (tags, file times, the rename from its
// temporary name, removal of a failed output) and decide its status.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/audiodsp/audiodsp.h"
#include "decoder/reader.h"

class TDecManager;
class TEncManager;
class Tencoder;
class EncoderClass;
class FrontEnd;

// File status values, stored in the list rows.
enum FileStatus : int {
    STATUS_PROCESSING = 0,
    STATUS_FAILED = 1,
    STATUS_SKIPPED = 2,
    STATUS_CANCELED = 3,
    STATUS_DONE = 4,
    STATUS_READY = 5,
};

// Size of each worker's buffer between the converter and the writer.
constexpr size_t WORK_BUFFER_SIZE = 2097152;

// The text of the exception being handled, for a failure reason; call inside a catch block only.
std::string CurrentErrorText();

// What every file conversion of one run shares.
struct PipelineContext {
    TDecManager& decoders;
    TEncManager& encoders;
    FrontEnd& frontEnd;
    std::mutex& namingLock;
    const std::atomic<bool>& cancel;
    int filesQueued = 1;  // N: every worker's share of the progress is 100 / N per file
    // Off: every file takes the float road, as tests do to compare the two roads' outputs.
    bool integerRoad = true;
};

// The per-file fields of a worker and the four steps over them.
class FileConversion {
  public:
    explicit FileConversion(PipelineContext& context) : ctx_(context) {}
    ~FileConversion();
    FileConversion(const FileConversion&) = delete;
    FileConversion& operator=(const FileConversion&) = delete;

    // Set by the worker and the naming step before Open. The output is written under `partialName` and
    // renamed to its final name (`finalOutputName` when `replacePending`, else `outputName`) once complete;
    // from Open on, `outputName` is that final name.
    std::string sourceName;
    std::string outputName;
    std::string finalOutputName;
    bool replacePending = false;
    std::string partialName;  // set by Open; empty once renamed or removed

    // Main thread: source, writer (by the setting `codec`) and converter. Answers whether it opened.
    bool Open();
    // Worker thread: the block loop. `k` counts the items this worker has taken, this one included.
    void Convert(int k, std::atomic<double>& progress, uint8_t* workBuffer);
    // Worker thread: converter, writer (finished first: a failure to complete the output fails the
    // file), source, in this order.
    void Release();
    // Worker thread: decides and answers the status; counts a failure in `failedCount`.
    int Finish(std::atomic<int>& failedCount);
    // Removes the temporary output, if any is left (a file abandoned after an error).
    void DiscardPartial();

    bool failed = false;
    // Why the file failed, for the log: the writer's or the source's own message, or the state that made
    // the open fail. Empty while nothing failed or when no reason is known.
    std::string failReason;
    // Marks the file failed; the first reason given is the one kept.
    void Fail(const std::string& reason);
    // Whether the open file's blocks go as 32-bit integers from the source to the writer.
    bool IntegerRoad() const { return integerRoad_; }

  private:
    // Switches source and writer to 32-bit integer blocks where that loses nothing (part of Open).
    void UseIntegerRoad(const WAVEFORMATEX& wanted);
    void WriteBlock(const uint8_t* data, uint32_t length);
    // The writer class the setting `codec` names, or null when it names none.
    const EncoderClass* WriterClass() const;
    void TransferTags();

    PipelineContext& ctx_;
    std::unique_ptr<TDecoder> source_;
    std::unique_ptr<Tencoder> writer_;
    SRC2Handle converter_ = nullptr;
    std::string renameTarget_;  // the final name with its links followed
    bool inPlace_ = false;      // the output is a device or pipe: written straight, never renamed
    bool conversionNeeded_ = true;
    bool integerRoad_ = false;
    TagFrame tags_;
    int lastPercent_ = 0;
};
