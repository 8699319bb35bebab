// The settings record: every user option of the converter in one plain record with one process-wide
// instance. Loading and saving it is the settings unit's job; this header has no dependencies so that the
// writers, the engine and the front ends can all read it.
#pragma once

#include <array>
#include <string>

struct config {
    std::string path;    // program folder with trailing "/": stored and loaded only
    std::string output;  // output folder
    std::string recent;  // folder the Add file / Add folder dialogs open in
    bool samefolder = false;
    int width = -1;
    int height = -1;
    bool openfolder = false;
    std::array<int, 5> col = {300, 150, 100, 100, 100};
    int codec = 0;
    int mp3srate = 0;
    int mp3mode = 0;
    int mp3bitrate = 5;
    bool mp3private = false;
    bool mp3original = false;
    bool mp3copyright = false;
    bool mp3crc = false;
    bool mp3vbr = false;
    int mp3vbrquality = 5;
    int wmacodec = 0;
    int wmaformat = 0;
    int oggsrate = 0;
    int oggmode = 0;
    int oggquality = 5;
    int wavsrate = 0;
    int wavmode = 0;
    int wavbps = 2;
    int aifsrate = 0;
    int aifmode = 0;
    int aifbps = 2;
    int amrbitrate = 0;
    int amrsamplerate = 1;
    int flacsamplerate = 0;
    int flacmode = 0;
    int flacbps = 0;
    int flaccompression = 5;
    bool flacnonsubset = false;
    int apesamplerate = 0;
    int apemode = 0;
    int apebps = 0;
    int apecompression = 2;
    int aacsamplerate = 0;
    int aacmode = 0;
    int aacbitrate = 4;
    int alacsamplerate = 0;
    int alacmode = 0;
    int alacbps = 0;
    bool alacfastmode = false;
    bool recurse = true;
    bool tags = true;
    bool retaindate = false;
    bool keepfolder = false;
    bool checkupdates = true;
    int overwrite = 2;
    int opussamplerate = 0;
    int opusmode = 0;
    int opusbitrate = 6;
    int opusvbrmode = 1;
    int wvsamplerate = 0;
    int wvmode = 0;
    int wvcompression = 1;
    int wvbps = 0;
    int priority = 3;
    int threadscount = 1;  // LoadSettings sets the processor count

    bool operator==(const config&) const = default;
};

// The live settings of this process. The main window (or a console front end) loads it once at start and
// saves it at close; everything else reads it.
extern config Config;
