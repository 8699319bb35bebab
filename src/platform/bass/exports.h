// Includes the public interface with default visibility, so the BASS_* calls and the host table are the
// library's only exported symbols while everything else is compiled hidden.
#pragma once

#pragma GCC visibility push(default)
#include "platform/bass/bass.h"
#include "platform/bass/bass_addon.h"
#pragma GCC visibility pop
