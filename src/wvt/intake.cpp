// Classifying, opening and scanning for the conversion list's intake.
#include "wvt/intake.h"

#include <sys/stat.h>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>

#include "decoder/cddrives.h"
#include "decoder/manager.h"
#include "wvt/nameorder.h"
#include "wvt/playlist.h"

namespace fs = std::filesystem;

namespace {

std::string LowerExtension(const std::string& path) {
    std::string ext = ExtractFileExt(path);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext;
}

// Two names of one playlist (a relative name, "..", a symbolic link) must count as the same playlist.
std::string PlaylistIdentity(const std::string& path) {
    std::error_code error;
    fs::path identity = fs::weakly_canonical(path, error);
    return error ? path : identity.string();
}

}  // namespace

void TIntake::addfilethread(const std::string& path) {
    // Playlists reached from this call are remembered until it returns, so that a playlist naming itself,
    // directly or through others, is read once.
    if (depth_ == 0) playlistsRead_.clear();
    ++depth_;
    try {
        Classify(path);
    } catch (...) {
        --depth_;
        throw;
    }
    --depth_;
}

void TIntake::Classify(const std::string& path) {
    const std::string ext = LowerExtension(path);
    if (ext == ".pls") return AddPlaylist(path, &ReadPLS);
    if (ext == ".m3u") return AddPlaylist(path, &ReadM3U);
    // A CD device or a cue sheet stands for its audio tracks, in disc order.
    if (IsCDContainer(path)) {
        for (const std::string& track : CDTrackNames(path)) Classify(track);
        return;
    }

    const std::unique_ptr<TDecoder> source = registry_.OpenFile(path);
    if (!source || !source->IsValid()) return;
    TFilesItem item;
    item.name = ItemName(path);
    item.path = path;
    item.format = source->GetFormatText();
    item.duration = FormatDuration(source->GetDuration());
    item.status = fsReady;
    pending_.push_back(std::move(item));
}

void TIntake::AddPlaylist(const std::string& path, PlaylistReader read) {
    if (!playlistsRead_.insert(PlaylistIdentity(path)).second) return;
    // Entries join the pending list in playlist order; the caller moves them into the list, which keeps the
    // list on its own thread even when a playlist turns up during a scan.
    std::vector<std::string> addresses;
    for (const std::string& entry : read(path, &addresses)) addfilethread(entry);
    // A playlist may name anything on the network; the program reads local files only.
    for (const std::string& address : addresses)
        if (OnFileError) OnFileError("Could not add file: " + address);
}

std::size_t TIntake::addfile(const std::string& path, std::vector<TFilesItem>& rows) {
    ClearPending();
    addfilethread(path);
    return addfilefromthread(rows);
}

std::size_t TIntake::addfilefromthread(std::vector<TFilesItem>& rows) const {
    return AppendNewItems(pending_, rows);
}

void TIntake::ScanFolder(const std::string& folder, bool recurse) {
    FolderIds seen;
    ScanFolderOnce(folder, recurse, seen);
}

void TIntake::ScanFolderOnce(const std::string& folder, bool recurse, FolderIds& seen) {
    // A folder reached again through a symbolic link would make the scan endless.
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return;
    if (!seen.emplace(info.st_dev, info.st_ino).second) return;

    std::string base = folder;
    if (base.empty() || base.back() != '/') base += '/';

    // The file system lists entries in no useful order: take them as a file manager shows them, so a
    // numbered album arrives as 1, 2, ... 10, and a subfolder is scanned where its name falls.
    std::vector<std::string> names;
    std::error_code error;
    fs::directory_iterator it(base, error);
    // An unreadable folder lists nothing and the scan goes on without it.
    if (error) return;
    for (const fs::directory_iterator end; it != end; it.increment(error)) {
        if (error || StopRequested()) break;
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return NameLess(a, b); });

    for (const std::string& name : names) {
        if (StopRequested()) break;
        std::error_code statusError;
        const fs::file_status status = fs::status(base + name, statusError);  // follows symbolic links
        if (fs::is_directory(status)) {
            if (recurse) ScanFolderOnce(base + name, recurse, seen);
            continue;
        }
        // Only regular files: opening a named pipe or a device with an audio extension would block or read
        // without end.
        if (!fs::is_regular_file(status) || !registry_.IsSupported(name)) continue;
        try {
            addfilethread(base + name);
        } catch (...) {
            if (OnFileError) OnFileError("Could not add file: " + base + name);
        }
    }
}

int TIntake::Scan(const std::vector<std::string>& folders, bool recurse) {
    try {
        for (const std::string& folder : folders) ScanFolder(folder, recurse);
    } catch (const std::exception& e) {
        if (OnScanError) OnScanError(e.what());
        return -1;
    } catch (...) {
        // Nothing may escape: the scan runs as a thread's body.
        if (OnScanError) OnScanError("Unknown error");
        return -1;
    }
    return 1;
}
