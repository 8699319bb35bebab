// The conversion queue and its worker threads: Convert turns the checked list rows into a first-in,
// first-out queue and starts the workers; each worker takes items one at a time, has the naming and open
// steps run on the main thread, converts on its own thread and reports the file's status back.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "wvt/naming.h"
#include "wvt/pipeline.h"

class TDecManager;
class TEncManager;
class FrontEnd;

// One queued file.
struct Tqueueitem {
    std::string fileName;
    uint64_t node = 0;  // the front end's identity of the list row
    int position = 0;   // the row's position among all rows, checked or not
};

// One row of the conversion list as Convert sees it.
struct ConvertRow {
    std::string path;
    uint64_t node = 0;
    bool checked = true;
};

// The texts of Convert's refusals; the front end shows them.
inline constexpr const char* TEXT_ALREADY_STARTED = "Conversion already started";
inline constexpr const char* TEXT_NO_OUTPUT_FOLDER =
    "Output folder does not exists! Please select another folder.";
inline constexpr const char* TEXT_LIST_EMPTY =
    "Conversion list is empty. Please add files before start conversion.";
inline constexpr const char* TEXT_NOTHING_CHECKED = "Please select at least one file from conversion list.";

// The log line for a file's final status, empty for statuses that add none. A failed file's line ends in
// its reason, in parentheses, when one is known.
std::string LogLineForStatus(int status, const std::string& path, const std::string& reason = {});

class Transcoder {
  public:
    Transcoder(TDecManager& decoders, TEncManager& encoders, FrontEnd& frontEnd);
    ~Transcoder();  // cancels a running conversion and waits for its workers
    Transcoder(const Transcoder&) = delete;
    Transcoder& operator=(const Transcoder&) = delete;

    enum class Refusal { None, Busy, NoOutputFolder, ListEmpty, NothingChecked };
    // Convert's checks and start (main thread). `rows` is the whole list in order; `keepFolders` the state
    // of the keep-folders box. On a refusal nothing changes and its text is the front end's to show.
    Refusal Convert(const std::vector<ConvertRow>& rows, bool keepFolders);

    void Cancel() { cancel_.store(true); }
    bool Busy() const { return busy_.load(); }
    // Waits for every worker thread to end (the front end must keep serving RunOnMain meanwhile, from
    // another thread, or call this after AllWorkersEnded).
    void Join();

    int FilesQueued() const { return filesQueued_; }
    int Workers() const { return static_cast<int>(slots_.size()); }
    double Progress() const;  // 0..100, the sum of the workers' shares
    double WorkerProgress(int index) const { return slots_.at(static_cast<size_t>(index))->progress.load(); }
    int Skipped() const;
    int Failed() const;
    size_t QueueLeft();

  private:
    struct WorkerSlot {
        std::atomic<double> progress{0.0};
        std::atomic<int> skipped{0};
        std::atomic<int> failed{0};
    };

    void Execute(int index);
    void OnThread();
    // Shows an error that escaped a file's steps on the main thread.
    void ReportException(std::exception_ptr error);
    // Release and finish of a file whose steps raised; answers its status.
    int FinishAfterError(FileConversion& file, std::atomic<int>& failedCount);
    bool TakeItem(Tqueueitem& item);
    // Removes stale temporary outputs from `folder` the first time this run writes there (main thread,
    // under the naming lock), and says so in the log.
    void SweepFolder(const std::string& folder);

    TDecManager& decoders_;
    TEncManager& encoders_;
    FrontEnd& frontEnd_;

    std::mutex queueLock_;
    std::mutex namingLock_;
    std::mutex workersLeftLock_;
    std::deque<Tqueueitem> queue_;
    int filesQueued_ = 0;
    int workersLeft_ = 0;
    std::atomic<bool> busy_{false};
    std::atomic<bool> cancel_{false};
    OverwriteState overwrite_;
    NamesInFlight inFlight_;              // under namingLock_
    std::set<std::string> sweptFolders_;  // under namingLock_
    std::string basePath_;
    std::vector<std::unique_ptr<WorkerSlot>> slots_;
    std::vector<std::thread> threads_;
};
