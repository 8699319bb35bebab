// The file under libsndfile's WAV, AIFF and GSM writers, with what those formats' 32-bit size fields
// demand of long outputs: a WAV file becomes RF64 once its data outgrows them, and the largest size a
// RIFF or AIFF header may state is known in one place.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>

#include "encoder/output_file.h"

// The largest value a 32-bit size field of a RIFF or AIFF header may hold: 4294967295. Test builds let
// the environment variable WAVETROVE_SIZE_FIELD_LIMIT lower it, so the switch to RF64 and the refusal of
// long AIFF outputs are proven with small files.
uint64_t SizeFieldLimit();
// Whether the room for RF64's ds64 chunk is made by moving the data even where a block could be inserted:
// only when a test build's WAVETROVE_RF64_ROOM is "copy", so tests reach both ways on any file system.
bool Rf64RoomByCopy();

// libsndfile writes a plain RIFF WAV through this view of the file. When `MakeRf64Room` is called (the
// data is about to pass what RIFF can state), everything written so far moves back behind room for RF64's
// ds64 chunk, and libsndfile goes on writing its layout shifted by that room; `FinishRf64` then turns the
// header libsndfile completed into an RF64 header with the true 64-bit sizes. Without that call the bytes
// are exactly libsndfile's.
class SndfileOutput {
  public:
    explicit SndfileOutput(const std::string& fileName) : file_(fileName) {}

    bool IsOpen() const { return file_.IsOpen(); }
    bool Failed() const { return file_.Failed(); }
    const std::string& Error() const { return file_.Error(); }
    bool Close() { return file_.Close(); }

    // libsndfile's view: offsets and lengths of its own layout.
    sf_count_t Length() const;
    sf_count_t Seek(sf_count_t offset, int whence);
    sf_count_t Read(void* data, sf_count_t count);
    sf_count_t Write(const void* data, sf_count_t count);
    sf_count_t Tell() const { return position_; }

    bool IsRf64() const { return room_ > 0; }
    // Makes room for the ds64 chunk in front of the file. On file systems that can insert a block into a
    // file (ext4, XFS) nothing is copied and the room is one block, the rest of it a JUNK chunk; elsewhere
    // (or with `copy`) the data moves back by the 36 bytes of the chunk. Raises EEncoderError on failure.
    void MakeRf64Room(bool copy = false);
    // After sf_close: rewrites the header of the RF64 file whose sound data is `dataBytes` long and holds
    // `frames` sample frames. Raises EEncoderError on failure.
    void FinishRf64(uint64_t dataBytes, uint64_t frames);

    // libsndfile's file operations over a SndfileOutput passed as the user data.
    static SF_VIRTUAL_IO* Io();

  private:
    // Puts the descriptor where libsndfile's position lies in the file.
    bool SeekFile();

    OutputFile file_;
    off_t room_ = 0;           // bytes in front of libsndfile's layout once the file is RF64
    sf_count_t position_ = 0;  // libsndfile's file position
    off_t filePosition_ = 0;   // the descriptor's position, -1 when not known
};
