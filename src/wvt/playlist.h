// Reading M3U and PLS playlists into the local files they name. Entries written on Windows are understood:
// backslashes are folder delimiters, and a drive prefix or a leading delimiter means the root.
#pragma once

#include <string>
#include <vector>

// Text of a playlist file as UTF-8: a byte-order mark selects UTF-8, UTF-16LE or UTF-16BE; text without
// one is taken as it is (the system's own encoding).
std::string DecodePlaylistText(const std::string& bytes);

// Whether a playlist entry is an address rather than a local path: it contains "http://" or "https://",
// begins with a scheme and "://" (ftp://, rtsp://, file://, ...) or with "file:". Such entries are never
// opened; the readers hand them to `addresses` so that the intake can report them.
bool IsPlaylistAddress(const std::string& entry);

// The entries of an M3U playlist that name existing files, in playlist order. Empty lines, "#" lines and
// addresses are skipped (addresses go to `addresses` when given); absolute entries are taken as they are,
// relative ones against the playlist's folder. An unreadable playlist gives nothing.
std::vector<std::string> ReadM3U(const std::string& playlist, std::vector<std::string>* addresses = nullptr);

// The FileN entries (N = 0 ... NumberOfEntries of the section "playlist") of a PLS playlist that name
// existing files, in N order. Only entries from the root count: such a path is taken when it exists,
// otherwise the same path below the playlist's folder. Entries with a drive letter and relative entries
// are ignored; addresses go to `addresses` when given. An unreadable playlist gives nothing.
std::vector<std::string> ReadPLS(const std::string& playlist, std::vector<std::string>* addresses = nullptr);

// The same two readers over a playlist's bytes, with relative entries resolved against `folder` (which ends
// with "/").
std::vector<std::string> M3UFiles(const std::string& bytes, const std::string& folder,
                                  std::vector<std::string>* addresses = nullptr);
std::vector<std::string> PLSFiles(const std::string& bytes, const std::string& folder,
                                  std::vector<std::string>* addresses = nullptr);
