// Audio CDs as the intake and the front ends see them: the system's CD drives with their discs, and the
// track names "<device or .cue sheet>/TrackNN.cda" of a disc's audio tracks.
#pragma once

#include <string>
#include <vector>

struct CDDriveInfo {
    std::string device;
    std::string vendor;
    std::string model;
    bool hasDisc = false;
    int audioTracks = 0;
    int seconds = 0;  // of the audio tracks together
};

// The physical drives, in the CD add-on's order.
std::vector<CDDriveInfo> ListCDDrives();

// An existing .cue file or block device: a path that holds CD tracks rather than being an audio file.
bool IsCDContainer(const std::string& path);

// The names of the audio tracks of the disc or image at `path`, in order; data tracks are left out. Empty
// when there is no readable disc.
std::vector<std::string> CDTrackNames(const std::string& path);

// A track name "<path>/TrackNN.cda" whose path is an existing device or cue sheet (the track itself may not
// be readable).
bool IsTrackOfCDContainer(const std::string& name);
