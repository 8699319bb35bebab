// wavetrove-cli: the console front end over the conversion engine, for scripts and servers. It loads the
// stored settings like the desktop program, lets options change them for this run only, collects files,
// folders and playlists, converts them on the worker threads and prints the conversion log.
#include <getopt.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "tools/cli_progress.h"
#include "wvt/config.h"
#include "decoder/cddrives.h"
#include "decoder/manager.h"
#include "encoder/maker.h"
#include "encoder/manager.h"
#include "wvt/frontend.h"
#include "wvt/intake.h"
#include "wvt/settings.h"
#include "wvt/transcoder.h"

namespace {

volatile std::sig_atomic_t gInterrupted = 0;
void OnInterrupt(int) {
    gInterrupted = 1;
}

std::string TimeNow() {
    std::time_t t = std::time(nullptr);
    char buf[32];
    std::strftime(buf, sizeof buf, "%H:%M:%S", std::localtime(&t));
    return buf;
}

const char* kUsage =
    "usage: wavetrove-cli [options] PATH...\n"
    "  PATH                 files, folders (scanned with the recurse setting), M3U/PLS playlists,\n"
    "                       CD devices and .cue images (their audio tracks)\n"
    "  -f, --format F       output format: codec index or extension (aac, alac name the M4A writers)\n"
    "  -o, --output DIR     output folder, created when it does not exist\n"
    "      --same-folder    write each output next to its source\n"
    "      --keep-folders   keep the sources' folder structure below the output folder\n"
    "      --overwrite A    overwrite | skip | ask | rename, when an output exists\n"
    "  -j, --threads N      number of worker threads\n"
    "      --set FIELD=V    change any setting for this run (repeatable)\n"
    "  -q, --quiet          print only errors, failed files and the summary\n"
    "      --list-formats   list the output formats and exit\n"
    "      --cd             add the audio tracks of the disc in the first CD drive\n"
    "      --list-drives    list the CD drives and their discs, and exit\n"
    "  -h, --help           this text\n"
    "      --version        the program's name and version\n"
    "Settings are read from the stored configuration and never saved. On a terminal a progress line\n"
    "shows the overall percentage, the files done and the time left.\n";

// The engine's main-thread hand-over: workers queue work here and wait; the main thread runs it.
class CliFrontEnd : public FrontEnd {
  public:
    // `rows` names the files by node; `quiet` keeps the log to failed files and the progress line off.
    CliFrontEnd(const std::vector<ConvertRow>& rows, bool quiet) : quiet_(quiet) {
        for (const ConvertRow& row : rows)
            names_[row.node] = std::filesystem::path(row.path).filename().string();
    }

    void RunOnMain(const std::function<void()>& work) override {
        std::unique_lock<std::mutex> lock(mutex_);
        Task task{&work, false};
        tasks_.push_back(&task);
        cv_.notify_all();
        done_.wait(lock, [&] { return task.done; });
    }

    int AskOverwrite(const std::string& outputName, bool& applyToAll) override {
        if (!isatty(STDIN_FILENO)) return OVERWRITE_NO;  // nobody to ask: skip
        ClearProgressLine();
        for (;;) {
            std::fprintf(stderr,
                         "Output file already exists. Would you like to overwrite it?\n  %s\n"
                         "[y]es, [n]o, [e]nter new name; add 'a' to apply the action to the all files: ",
                         outputName.c_str());
            std::string answer;
            if (!std::getline(std::cin, answer)) return OVERWRITE_NO;
            bool all = answer.find('a') != std::string::npos;
            char c = answer.empty() ? ' ' : answer[0];
            if (c == 'y' || c == 'n' || c == 'e') {
                applyToAll = all;
                return c == 'y' ? OVERWRITE_YES : c == 'n' ? OVERWRITE_NO : OVERWRITE_NEW_NAME;
            }
        }
    }

    bool AskSaveName(const std::string&, const std::string& defaultExtension, const std::string& folder,
                     std::string& chosen) override {
        if (!isatty(STDIN_FILENO)) return false;
        ClearProgressLine();
        std::fprintf(stderr, "Enter new name (in %s; empty to skip): ", folder.c_str());
        std::string name;
        if (!std::getline(std::cin, name) || name.empty()) return false;
        if (name[0] != '/') name = folder + (folder.empty() || folder.back() == '/' ? "" : "/") + name;
        size_t slash = name.rfind('/');
        if (name.find('.', slash == std::string::npos ? 0 : slash) == std::string::npos)
            name += "." + defaultExtension;
        chosen = name;
        return true;
    }

    void ShowError(const std::string& caption, const std::string& text) override {
        ClearProgressLine();
        std::fprintf(stderr, "%s %s\n", caption.c_str(), text.c_str());
    }
    void ShowException(const std::string& text) override { ShowError("Error!", text); }
    void UpdateRow(uint64_t node, int status) override {
        lastStatus_ = status;
        if (status == STATUS_PROCESSING) {
            converting_[node] = names_[node];
        } else {
            converting_.erase(node);
            ++filesDone_;
        }
    }
    void AppendLog(const std::string& line) override {
        // The engine logs a file right after its status: quiet runs keep only the failures.
        if (quiet_ && lastStatus_ != STATUS_FAILED) return;
        ClearProgressLine();
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }
    void OpenFolder(const std::string&) override {}  // a console has no file manager to open
    void AllWorkersEnded() override { ended_ = true; }

    // Serves the workers until the last one has ended; keeps the progress line up to date on a terminal
    // and turns Ctrl+C into the Cancel button.
    void Loop(Transcoder& transcoder) {
        using Clock = std::chrono::steady_clock;
        const bool line = !quiet_ && isatty(STDERR_FILENO);
        const Clock::time_point start = Clock::now();
        Clock::time_point drawn{};
        bool cancelled = false;
        while (!ended_) {
            // Redrawn at most ten times a second, the first time at once.
            const Clock::time_point now = Clock::now();
            if (line && !ended_ &&
                (drawn == Clock::time_point{} || now - drawn >= std::chrono::milliseconds(100))) {
                ProgressFacts facts;
                facts.percent = transcoder.Progress();
                facts.filesDone = filesDone_;
                facts.filesTotal = transcoder.FilesQueued();
                facts.elapsedSeconds = std::chrono::duration<double>(now - start).count();
                if (!converting_.empty()) facts.current = converting_.begin()->second;
                DrawProgress(FormatProgressLine(facts, TerminalWidth(STDERR_FILENO)));
                drawn = now;
            }
            std::unique_lock<std::mutex> lock(mutex_);
            cv_.wait_for(lock, std::chrono::milliseconds(100), [&] { return !tasks_.empty(); });
            while (!tasks_.empty()) {
                Task* task = tasks_.front();
                tasks_.pop_front();
                lock.unlock();
                (*task->work)();
                lock.lock();
                task->done = true;
                done_.notify_all();
            }
            lock.unlock();
            if (gInterrupted && !cancelled) {
                cancelled = true;
                transcoder.Cancel();
            }
        }
        ClearProgressLine();
    }

  private:
    struct Task {
        const std::function<void()>* work;
        bool done;
    };

    void DrawProgress(const std::string& text) {
        // Back to the line's start, the text, then clear what a longer earlier line left.
        std::fprintf(stderr, "\r%s\033[K", text.c_str());
        std::fflush(stderr);
        lineShown_ = true;
    }
    void ClearProgressLine() {
        if (!lineShown_) return;
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        lineShown_ = false;
    }

    std::mutex mutex_;
    std::condition_variable cv_;
    std::condition_variable done_;
    std::deque<Task*> tasks_;
    bool ended_ = false;
    bool lineShown_ = false;
    const bool quiet_;
    int lastStatus_ = STATUS_PROCESSING;
    int filesDone_ = 0;
    std::map<uint64_t, std::string> names_;       // every row's file name, by node
    std::map<uint64_t, std::string> converting_;  // the files being converted now
};

// Finds the writer for -f: a codec index, or an extension; "aac" and "alac" name the two M4A writers.
int FindWriter(const TEncManager& writers, const std::string& name) {
    const int count = static_cast<int>(writers.Count());
    char* end = nullptr;
    long index = std::strtol(name.c_str(), &end, 10);
    if (!name.empty() && *end == '\0') return index >= 0 && index < count ? static_cast<int>(index) : -1;
    std::string wanted;
    for (char c : name) wanted += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (int i = 0; i < count; ++i) {
        const EncoderClass& w = writers.Item(static_cast<size_t>(i));
        if (wanted == "aac" && std::string(w.Name()) == "AACwriter") return i;
        if (wanted == "alac" && std::string(w.Name()) == "ALACwriter") return i;
        if (wanted != "m4a" && w.GetExtension() == wanted) return i;
    }
    return -1;
}

// The conversion list as the desktop program's intake builds it: files and playlists through addfile,
// folders scanned with the recurse setting; duplicates appear once.
std::vector<ConvertRow> CollectFiles(const TDecManager& decoders, const std::vector<std::string>& paths,
                                     bool recurse) {
    TIntake intake(decoders);
    intake.OnFileError = [](const std::string& text) { std::fprintf(stderr, "Error! %s\n", text.c_str()); };
    intake.OnScanError = intake.OnFileError;
    std::vector<TFilesItem> items;
    for (const std::string& path : paths) {
        if (gInterrupted) break;
        std::error_code ec;
        if (std::filesystem::is_directory(path, ec)) {
            intake.ClearPending();
            intake.ClearStop();
            intake.Scan({path}, recurse);
            intake.addfilefromthread(items);
        } else if (intake.addfile(path, items) == 0) {
            const bool listed =
                std::any_of(items.begin(), items.end(), [&](const TFilesItem& i) { return i.path == path; });
            if (!std::filesystem::exists(path, ec) && !IsTrackOfCDContainer(path)) {
                std::fprintf(stderr, "wavetrove-cli: no such file: %s\n", path.c_str());
            } else if (!listed && decoders.IsSupported(path)) {
                // A file named on the command line that its source cannot read (damaged, more than two
                // channels) is not dropped without a word: it is converted, fails, and the exit code says so.
                TFilesItem item;
                item.name = ItemName(path);
                item.path = path;
                items.push_back(std::move(item));
            } else if (!listed && IsCDContainer(path)) {
                std::fprintf(stderr, "No audio CD in %s.\n", path.c_str());
            } else if (!listed) {
                std::fprintf(stderr, "wavetrove-cli: nothing to convert in: %s\n", path.c_str());
            }
        }
    }
    std::vector<ConvertRow> rows;
    rows.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i) rows.push_back(ConvertRow{items[i].path, i, true});
    return rows;
}

// "/dev/sr0  HL-DT-ST DVDRAM GH24NSD1  12 audio tracks, 48:31" or "... No disc".
void PrintDrives(const std::vector<CDDriveInfo>& drives) {
    for (const CDDriveInfo& drive : drives) {
        std::string model = drive.vendor;
        if (!drive.model.empty()) model += (model.empty() ? "" : " ") + drive.model;
        std::string disc = "No disc";
        if (drive.hasDisc) {
            char text[64];
            std::snprintf(text, sizeof text, "%d audio tracks, %d:%02d", drive.audioTracks,
                          drive.seconds / 60, drive.seconds % 60);
            disc = text;
        }
        std::printf("%s\t%s\t%s\n", drive.device.c_str(), model.c_str(), disc.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> paths;
    std::vector<std::pair<std::string, std::string>> sets;
    // Options that were given, even with an empty value ("--threads=" is an error, not "no option").
    std::optional<std::string> format, overwrite, threads;
    std::string output;
    bool sameFolder = false, keepFolders = false, listFormats = false, quiet = false, firstDrive = false,
         listDrives = false;

    enum LongOnly {
        kSameFolder = 256,
        kKeepFolders,
        kOverwrite,
        kSet,
        kListFormats,
        kCd,
        kListDrives,
        kVersion
    };
    static const option kOptions[] = {
        {"format", required_argument, nullptr, 'f'},
        {"output", required_argument, nullptr, 'o'},
        {"threads", required_argument, nullptr, 'j'},
        {"quiet", no_argument, nullptr, 'q'},
        {"help", no_argument, nullptr, 'h'},
        {"same-folder", no_argument, nullptr, kSameFolder},
        {"keep-folders", no_argument, nullptr, kKeepFolders},
        {"overwrite", required_argument, nullptr, kOverwrite},
        {"set", required_argument, nullptr, kSet},
        {"list-formats", no_argument, nullptr, kListFormats},
        {"cd", no_argument, nullptr, kCd},
        {"list-drives", no_argument, nullptr, kListDrives},
        {"version", no_argument, nullptr, kVersion},
        {nullptr, 0, nullptr, 0},
    };
    // getopt_long names the program by argv[0] in its messages: use the name users know, whatever path
    // started it.
    argv[0] = const_cast<char*>("wavetrove-cli");
    for (int c; (c = getopt_long(argc, argv, "f:o:j:qh", kOptions, nullptr)) != -1;) {
        switch (c) {
            case 'f':
                format = optarg;
                break;
            case 'o':
                output = optarg;
                if (output.empty()) {
                    std::fprintf(stderr, "wavetrove-cli: --output takes a folder name\n");
                    return 1;
                }
                break;
            case 'j':
                threads = optarg;
                break;
            case 'q':
                quiet = true;
                break;
            case 'h':
                std::printf("%s", kUsage);
                return 0;
            case kSameFolder:
                sameFolder = true;
                break;
            case kKeepFolders:
                keepFolders = true;
                break;
            case kOverwrite:
                overwrite = optarg;
                break;
            case kSet: {
                const std::string kv = optarg;
                const size_t eq = kv.find('=');
                if (eq == std::string::npos || eq == 0) {
                    std::fprintf(stderr, "wavetrove-cli: --set takes FIELD=VALUE, not '%s'\n", kv.c_str());
                    return 1;
                }
                sets.emplace_back(kv.substr(0, eq), kv.substr(eq + 1));
                break;
            }
            case kListFormats:
                listFormats = true;
                break;
            case kCd:
                firstDrive = true;
                break;
            case kListDrives:
                listDrives = true;
                break;
            case kVersion:
                std::printf("wavetrove-cli (Wavetrove) %s\n", WAVETROVE_VERSION);
                return 0;
            default:  // getopt_long has named the problem in one line
                std::fputs("Try 'wavetrove-cli --help' for more information.\n", stderr);
                return 1;
        }
    }
    for (int i = optind; i < argc; ++i) paths.emplace_back(argv[i]);

    LoadSettings(Config);
    TDecManager decoders;
    decoders.Init();
    TEncManager writers;

    if (listFormats) {
        for (size_t i = 0; i < writers.Count(); ++i)
            std::printf("%zu\t%s\t%s\n", i, writers.Item(i).GetExtension().c_str(),
                        writers.Item(i).GetDescription().c_str());
        return 0;
    }

    if (listDrives || firstDrive) {
        const std::vector<CDDriveInfo> drives = ListCDDrives();
        if (drives.empty()) {
            std::fprintf(stderr, "No CD drive found.\n");
            return 1;
        }
        if (listDrives) {
            PrintDrives(drives);
            return 0;
        }
        if (!drives.front().hasDisc || drives.front().audioTracks == 0) {
            std::fprintf(stderr, "No audio CD in %s.\n", drives.front().device.c_str());
            return 1;
        }
        paths.push_back(drives.front().device);
    }

    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    for (const auto& [field, value] : sets) {
        if (!SetSettingFromText(Config, field, value)) {
            std::fprintf(stderr, "wavetrove-cli: cannot set '%s' to '%s'\n", field.c_str(), value.c_str());
            return 1;
        }
    }
    if (format) {
        int index = FindWriter(writers, *format);
        if (index < 0) {
            std::fprintf(stderr, "wavetrove-cli: unknown format '%s' (see --list-formats)\n",
                         format->c_str());
            return 1;
        }
        Config.codec = index;
    }
    if (Config.codec < 0) Config.codec = 0;
    if (static_cast<size_t>(Config.codec) >= writers.Count())
        Config.codec = static_cast<int>(writers.Count()) - 1;
    if (!output.empty()) Config.output = output;
    if (sameFolder) Config.samefolder = true;
    if (keepFolders) Config.keepfolder = true;
    if (Config.samefolder) Config.keepfolder = false;
    if (overwrite) {
        static const char* names[] = {"overwrite", "skip", "ask", "rename"};
        int found = -1;
        for (int i = 0; i < 4; ++i)
            if (*overwrite == names[i]) found = i;
        if (found < 0) {
            std::fprintf(stderr, "wavetrove-cli: --overwrite takes overwrite, skip, ask or rename\n");
            return 1;
        }
        Config.overwrite = found;
    }
    if (threads) {
        char* end = nullptr;
        long n = std::strtol(threads->c_str(), &end, 10);
        if (threads->empty() || *end != '\0' || n < 1 || n > 1024) {
            std::fprintf(stderr, "wavetrove-cli: --threads takes a number from 1 up\n");
            return 1;
        }
        Config.threadscount = static_cast<int>(n);
    }
    if (paths.empty()) {
        std::fprintf(stderr, "wavetrove-cli: no files given\n%s", kUsage);
        return 1;
    }

    // Collect the conversion list as the desktop program's intake does.
    std::vector<ConvertRow> rows = CollectFiles(decoders, paths, Config.recurse);
    if (rows.empty()) {
        std::fprintf(stderr, "wavetrove-cli: %s\n", TEXT_LIST_EMPTY);
        return 1;
    }

    // Unlike the desktop program, which refuses a missing output folder, the console creates it: a script
    // naming a fresh folder should not need a mkdir of its own.
    if (!output.empty() && !Config.samefolder) {
        std::error_code error;
        std::filesystem::create_directories(output, error);
        if (!std::filesystem::is_directory(output)) {
            const std::string why =
                error ? error.message() : std::make_error_code(std::errc::not_a_directory).message();
            std::fprintf(stderr, "wavetrove-cli: cannot create the output folder %s: %s\n", output.c_str(),
                         why.c_str());
            return 1;
        }
    }

    CliFrontEnd frontEnd(rows, quiet);
    Transcoder transcoder(decoders, writers, frontEnd);
    switch (transcoder.Convert(rows, Config.keepfolder)) {
        case Transcoder::Refusal::None:
            break;
        case Transcoder::Refusal::NoOutputFolder:
            std::fprintf(stderr, "Error! %s\n", TEXT_NO_OUTPUT_FOLDER);
            return 1;
        case Transcoder::Refusal::NothingChecked:
            std::fprintf(stderr, "Warning! %s\n", TEXT_NOTHING_CHECKED);
            return 1;
        default:
            std::fprintf(stderr, "Warning! %s\n", TEXT_LIST_EMPTY);
            return 1;
    }
    if (!quiet) std::printf("Conversion started at: %s\n", TimeNow().c_str());
    std::fflush(stdout);
    frontEnd.Loop(transcoder);
    transcoder.Join();

    std::printf("Conversion finished at: %s\n", TimeNow().c_str());
    std::printf("Processed %d file(s).\n", transcoder.FilesQueued());
    std::printf("Skipped existing %d file(s).\n", transcoder.Skipped());
    std::printf("Failed to convert %d file(s).\n", transcoder.Failed());
    std::fflush(stdout);
    decoders.Done();
    return (transcoder.Failed() > 0 || gInterrupted) ? 2 : 0;
}
