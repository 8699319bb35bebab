// The file intake of the conversion list without any window: classifying a path (playlist or audio file),
// opening audio files through the source registry for their format and duration, and scanning folders.
// The front end runs folder scans on its intake thread and shows the errors reported through callbacks.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "wvt/filesitem.h"

class TDecManager;

class TIntake {
  public:
    explicit TIntake(const TDecManager& registry) : registry_(registry) {}
    TIntake(const TIntake&) = delete;
    TIntake& operator=(const TIntake&) = delete;

    // Called when adding one file of a folder scan raised, on the scanning thread, and for every address
    // (http://, ...) a playlist names, on the thread reading the playlist; the text is "Could not add
    // file: " followed by the file's path or the address. The intake goes on when it returns.
    std::function<void(const std::string& text)> OnFileError;
    // Called on the scanning thread when an error ends the whole scan, with the error's text.
    std::function<void(const std::string& text)> OnScanError;

    // Classifies one path and appends the resulting records to the pending list: ".pls" and ".m3u"
    // playlists add the files they name (a playlist reached again through its own entries is not read a
    // second time) and report the addresses they name, which are never opened; a CD device or ".cue"
    // sheet adds its audio tracks; any other file is opened through the registry and added when its source
    // is valid.
    void addfilethread(const std::string& path);

    // Empties the pending list, classifies `path`, then moves the pending records into `rows`. Returns
    // how many rows were appended.
    std::size_t addfile(const std::string& path, std::vector<TFilesItem>& rows);

    // Moves the pending records into `rows`, skipping paths already there (AppendNewItems).
    std::size_t addfilefromthread(std::vector<TFilesItem>& rows) const;

    // Adds every supported file below `folder` (into subfolders when `recurse` is set), each folder's
    // entries in name order (NameLess), until the stop flag is set.
    void ScanFolder(const std::string& folder, bool recurse);

    // The intake thread's work: ScanFolder over each folder in order. Returns 1, or -1 when an error ended
    // the scan (reported through OnScanError).
    int Scan(const std::vector<std::string>& folders, bool recurse);

    const std::vector<TFilesItem>& Pending() const { return pending_; }
    void ClearPending() { pending_.clear(); }

    // The scan stop flag: set from any thread, tested before every folder entry.
    void RequestStop() { stop_.store(true, std::memory_order_relaxed); }
    void ClearStop() { stop_.store(false, std::memory_order_relaxed); }
    bool StopRequested() const { return stop_.load(std::memory_order_relaxed); }

  private:
    void Classify(const std::string& path);
    using PlaylistReader = std::vector<std::string> (*)(const std::string&, std::vector<std::string>*);
    void AddPlaylist(const std::string& path, PlaylistReader read);
    using FolderIds = std::set<std::pair<dev_t, ino_t>>;
    void ScanFolderOnce(const std::string& folder, bool recurse, FolderIds& seen);

    const TDecManager& registry_;
    std::vector<TFilesItem> pending_;
    std::atomic<bool> stop_{false};
    std::set<std::string> playlistsRead_;  // during one addfilethread call
    int depth_ = 0;
};
