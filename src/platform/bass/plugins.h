// Loading and freeing add-ons (shared libraries exporting BASSplugin), and offering a file to them.
#pragma once

#include <memory>

#include "platform/bass/exports.h"
#include "platform/bass/host_file.h"

namespace bass {

HPLUGIN LoadPlugin(const char* file);
bool FreePlugin(HPLUGIN handle);  // 0 frees every plug-in
void FreeAllPlugins();

// Offers `file` to every loaded add-on's create procedure in load order, rewinding it before each try.
// Answers the first stream handle, or 0 with the error set; the file then is closed or owned by the stream.
HSTREAM OfferToPlugins(std::unique_ptr<HostFile> file, DWORD flags);

// Offers a name that is no regular file to the add-ons that export a name face, in load order. Answers the
// first stream handle, or 0 with the error set (the file-open error when no add-on took the name).
HSTREAM OfferNameToPlugins(const char* name, DWORD flags);

}  // namespace bass
