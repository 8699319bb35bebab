// The add-on's drive numbers: the system's CD devices first, in libcdio's order, then every other device
// or cue sheet in the order a track name first mentions it (one number per canonical path, for the run).
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace basscd {

struct Drive {
    std::string path;  // canonical path of the device or the sheet
    bool image = false;
    // Filled on first request (devices only): what the drive reports about itself.
    bool identified = false;
    std::string vendor, model, revision;
};

class Drives {
  public:
    static Drives& Get();

    // The number of the device or sheet at `path`, given a new one when it is first seen. -1 when the path
    // names neither an existing block device nor an existing ".cue" file.
    int Find(const std::string& path);
    std::optional<Drive> At(int number);
    int Count();

    // What the device says about itself (vendor, model, revision); images answer empty texts.
    Drive Identify(int number);

    // A physical drive reads for one stream at a time: seeking between two tracks would cost far more than
    // reading them one after the other. Image drives have no such lock (null).
    std::timed_mutex* ReadLock(int number);

  private:
    Drives();
    std::mutex mutex_;
    std::vector<Drive> drives_;
    std::vector<std::unique_ptr<std::timed_mutex>> readLocks_;
};

// "<path>/TrackNN.cda" (any letter case, NN from 1): the path and the track index from 0; false otherwise.
bool SplitTrackName(const std::string& name, std::string& path, int& index);

}  // namespace basscd
