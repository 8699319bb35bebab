// The conversion queue and its worker threads.
#include "wvt/transcoder.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <exception>
#include <filesystem>
#include <system_error>

#include "wvt/config.h"
#include "encoder/maker.h"
#include "encoder/manager.h"
#include "wvt/frontend.h"
#include "wvt/partial.h"

namespace {

// Temporary outputs younger than this are left alone even when their process is gone: the folder may be
// shared with a run on another machine, whose process ids mean nothing here.
constexpr long kStalePartialSeconds = 300;

// Worker priorities 0 Idle ... 6 Time Critical as per-thread scheduling. A level the user may not set
// (raising priority needs privileges) leaves the thread at normal.
void ApplyThreadPriority(int priority) {
    if (priority <= 0) {
        sched_param param{};
        pthread_setschedparam(pthread_self(), SCHED_IDLE, &param);
        return;
    }
    static const int niceByLevel[] = {19, 10, 5, 0, -5, -10, -15};
    int level = priority > 6 ? 6 : priority;
    if (niceByLevel[level] == 0) return;
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), niceByLevel[level]);
}

}  // namespace

std::string LogLineForStatus(int status, const std::string& path, const std::string& reason) {
    switch (status) {
        case STATUS_FAILED:
            return "Conversion failed for: " + path + (reason.empty() ? "" : " (" + reason + ")");
        case STATUS_SKIPPED:
            return "Conversion skipped for: " + path;
        case STATUS_CANCELED:
            return "Conversion canceled for: " + path;
        default:
            return {};
    }
}

Transcoder::Transcoder(TDecManager& decoders, TEncManager& encoders, FrontEnd& frontEnd)
    : decoders_(decoders), encoders_(encoders), frontEnd_(frontEnd) {}

Transcoder::~Transcoder() {
    cancel_.store(true);
    Join();
}

void Transcoder::Join() {
    for (auto& t : threads_)
        if (t.joinable()) t.join();
    threads_.clear();
}

Transcoder::Refusal Transcoder::Convert(const std::vector<ConvertRow>& rows, bool keepFolders) {
    if (busy_.load()) return Refusal::Busy;
    std::error_code ec;
    if (!Config.samefolder && !std::filesystem::is_directory(Config.output, ec))
        return Refusal::NoOutputFolder;
    if (rows.empty()) return Refusal::ListEmpty;

    Join();  // threads of the previous run have all ended by now
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        queue_.clear();
        filesQueued_ = 0;
        for (size_t i = 0; i < rows.size(); ++i) {
            if (!rows[i].checked) continue;
            ++filesQueued_;
            queue_.push_back(Tqueueitem{rows[i].path, rows[i].node, static_cast<int>(i)});
        }
    }
    if (filesQueued_ == 0) return Refusal::NothingChecked;

    basePath_.clear();
    if (keepFolders) {
        std::vector<std::string> paths;
        paths.reserve(rows.size());
        for (const auto& r : rows) paths.push_back(r.path);
        basePath_ = getbasepath(paths);
        if (basePath_.empty()) Config.keepfolder = false;
    }
    overwrite_ = OverwriteState{};
    {
        std::lock_guard<std::mutex> lock(namingLock_);
        inFlight_.clear();
        sweptFolders_.clear();
    }
    cancel_.store(false);

    // A thread count below one would start nothing and never finish: run at least one worker.
    const int workers = Config.threadscount < 1 ? 1 : Config.threadscount;
    workersLeft_ = workers;
    slots_.clear();
    for (int i = 0; i < workers; ++i) slots_.push_back(std::make_unique<WorkerSlot>());
    busy_.store(true);
    for (int i = 0; i < workers; ++i) threads_.emplace_back([this, i] { Execute(i); });
    return Refusal::None;
}

bool Transcoder::TakeItem(Tqueueitem& item) {
    std::lock_guard<std::mutex> lock(queueLock_);
    if (queue_.empty()) return false;
    item = std::move(queue_.front());
    queue_.pop_front();
    return true;
}

size_t Transcoder::QueueLeft() {
    std::lock_guard<std::mutex> lock(queueLock_);
    return queue_.size();
}

void Transcoder::Execute(int index) {
    ApplyThreadPriority(Config.priority);
    WorkerSlot& slot = *slots_[index];
    const double share = 100.0 / filesQueued_;
    int k = 0;
    std::vector<uint8_t> workBuffer(WORK_BUFFER_SIZE);
    PipelineContext ctx{decoders_, encoders_, frontEnd_, namingLock_, cancel_, filesQueued_};

    auto nodeUpdate = [this](const Tqueueitem& item, int status, const std::string& reason = {}) {
        frontEnd_.RunOnMain([&] {
            frontEnd_.UpdateRow(item.node, status);
            std::string line = LogLineForStatus(status, item.fileName, reason);
            if (!line.empty()) frontEnd_.AppendLog(line);
        });
    };

    Tqueueitem item;
    while (TakeItem(item)) {
        ++k;
        nodeUpdate(item, STATUS_PROCESSING);

        FileConversion file(ctx);
        file.sourceName = item.fileName;
        bool proceed = true;
        bool opened = false;
        std::string finalName;  // claimed in inFlight_ until the file is done
        {
            std::lock_guard<std::mutex> lock(namingLock_);
            frontEnd_.RunOnMain([&] {
                try {
                    if (Config.codec < 0 || static_cast<size_t>(Config.codec) >= encoders_.Count()) {
                        file.Fail("no writer for the chosen output format");
                        return;  // nothing can be written: the file fails below
                    }
                    const EncoderClass& writerClass = encoders_.Item(static_cast<size_t>(Config.codec));
                    NamingOutcome named = NamingStep(item.fileName, Config, basePath_, writerClass,
                                                     overwrite_, frontEnd_, &inFlight_);
                    proceed = named.proceed;
                    file.outputName = named.outputName;
                    file.finalOutputName = named.finalOutputName;
                    file.replacePending = named.replacePending;
                    // A skipped file's folder is one of the run's output folders too.
                    if (!named.outputName.empty()) SweepFolder(ExtractFilePath(named.outputName));
                    if (proceed) {
                        finalName = named.replacePending ? named.finalOutputName : named.outputName;
                        inFlight_.insert(finalName);
                        opened = file.Open();
                    }
                } catch (...) {
                    // The file fails; the naming lock is released by the guard outside.
                    opened = false;
                    file.Fail(CurrentErrorText());
                }
            });
        }

        if (proceed) {
            if (!opened) file.Fail({});
            int status = STATUS_FAILED;
            try {
                if (!file.failed) file.Convert(k, slot.progress, workBuffer.data());
                file.Release();
                status = file.Finish(slot.failed);
            } catch (...) {
                // An error escaping a step must not end the worker (an escaping exception would end the
                // whole program): report it, fail the file so its output goes, and go on with the next.
                file.Fail(CurrentErrorText());
                ReportException(std::current_exception());
                status = FinishAfterError(file, slot.failed);
            }
            {
                std::lock_guard<std::mutex> lock(namingLock_);
                inFlight_.erase(finalName);
            }
            nodeUpdate(item, status, file.failReason);
        } else {
            slot.skipped.fetch_add(1, std::memory_order_relaxed);
            nodeUpdate(item, STATUS_SKIPPED);
        }
        if (cancel_.load()) break;
    }

    slot.progress.store(k * share, std::memory_order_relaxed);
    if (Config.openfolder) frontEnd_.RunOnMain([&] { frontEnd_.OpenFolder(Config.output); });
    workBuffer.clear();
    workBuffer.shrink_to_fit();
    frontEnd_.RunOnMain([this] { OnThread(); });
}

void Transcoder::ReportException(std::exception_ptr error) {
    std::string text = "Unknown error";
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        text = e.what();
    } catch (...) {
    }
    frontEnd_.RunOnMain([&] { frontEnd_.ShowException(text); });
}

int Transcoder::FinishAfterError(FileConversion& file, std::atomic<int>& failedCount) {
    try {
        file.Release();
        return file.Finish(failedCount);
    } catch (...) {
        // Finish itself failed: still count the file and remove what it wrote.
        if (!cancel_.load()) failedCount.fetch_add(1, std::memory_order_relaxed);
        file.DiscardPartial();
        return cancel_.load() ? STATUS_CANCELED : STATUS_FAILED;
    }
}

void Transcoder::SweepFolder(const std::string& folder) {
    const std::string key = folder.empty() ? "./" : folder;
    if (!sweptFolders_.insert(key).second) return;
    const int removed = RemoveStalePartials(key, kStalePartialSeconds);
    if (removed > 0)
        frontEnd_.AppendLog("Removed " + std::to_string(removed) + " unfinished output" +
                            (removed == 1 ? "" : "s") + " left by an interrupted conversion in: " + key);
}

void Transcoder::OnThread() {
    std::lock_guard<std::mutex> lock(workersLeftLock_);
    if (workersLeft_ > 0) --workersLeft_;
    if (workersLeft_ == 0) {
        busy_.store(false);
        frontEnd_.AllWorkersEnded();
    }
}

double Transcoder::Progress() const {
    double sum = 0;
    for (const auto& s : slots_) sum += s->progress.load(std::memory_order_relaxed);
    return sum;
}

int Transcoder::Skipped() const {
    int sum = 0;
    for (const auto& s : slots_) sum += s->skipped.load(std::memory_order_relaxed);
    return sum;
}

int Transcoder::Failed() const {
    int sum = 0;
    for (const auto& s : slots_) sum += s->failed.load(std::memory_order_relaxed);
    return sum;
}
