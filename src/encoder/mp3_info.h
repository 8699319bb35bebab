// The MP3 writer's information frame (LAME's "Xing"/"Info" frame at the start of the stream) made fit for
// streams whose frame or byte count passes the frame's 32-bit fields.
#pragma once

#include <cstddef>
#include <cstdint>

// Fits the finished information frame `frame` (`size` bytes, as LAME hands it out) to a stream of
// `frames` MPEG frames and `bytes` bytes. A count past 32 bits is left out (its flag cleared, the fields
// behind it moved up, the LAME extension's music length cleared with the byte count, its CRC renewed)
// rather than written wrapped, so players estimate the length instead of believing a wrong one. A frame
// whose counts fit is not touched. Answers false (frame untouched) when the frame is not one it knows.
bool FitInfoFrame(uint8_t* frame, size_t size, uint64_t frames, uint64_t bytes);

// The CRC the LAME extension keeps of the frame up to its own field (CRC-16, polynomial 0x8005 reflected).
uint16_t InfoFrameCrc(const uint8_t* data, size_t size);
