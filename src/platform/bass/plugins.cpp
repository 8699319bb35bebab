// Add-on loading by dlopen; see plugins.h.
#include "platform/bass/plugins.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/bass/error.h"
#include "platform/bass/host.h"

namespace bass {
namespace {

std::filesystem::path ExecutableDir() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe.parent_path();
}

// The folder this library was loaded from. An installed program keeps its add-ons beside the host in a
// private folder; dlopen's own search cannot be relied on to find them there, since the RUNPATH it uses is
// that of the calling object, which an interposed dlopen (a sanitizer's) replaces with its own.
std::filesystem::path HostDir() {
    Dl_info where{};
    if (dladdr(reinterpret_cast<const void*>(&ExecutableDir), &where) == 0 || where.dli_fname == nullptr)
        return {};
    const std::filesystem::path self(where.dli_fname);
    return self.has_parent_path() ? self.parent_path() : std::filesystem::path();
}

// A Windows library name `dir/x.dll` stands for `dir/libx.so`; a bare name is looked for next to the
// executable first, then beside the host, then on the normal search path.
std::vector<std::string> Candidates(const std::string& file) {
    const std::filesystem::path path(file);
    std::string ext = path.extension().string();
    for (auto& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext != ".dll") return {file};
    std::string stem = path.stem().string();
    if (stem.rfind("lib", 0) != 0) stem = "lib" + stem;
    const std::string so = stem + ".so";
    if (path.has_parent_path()) return {(path.parent_path() / so).string()};
    std::vector<std::string> out;
    const auto dir = ExecutableDir();
    if (!dir.empty()) out.push_back((dir / so).string());
    const auto host = HostDir();
    if (!host.empty() && host != dir) out.push_back((host / so).string());
    out.push_back(so);
    return out;
}

}  // namespace

HPLUGIN LoadPlugin(const char* file) {
    if (file == nullptr || *file == '\0') return Fail(BASS_ERROR_FILEOPEN, 0);
    void* library = nullptr;
    for (const auto& name : Candidates(file)) {
        // NODELETE: freeing a plug-in forgets it but keeps the code mapped. Unmapping FFmpeg and its
        // dependencies at run time leaves their thread-exit and atexit hooks pointing into freed code and
        // hides their one-time allocations from the leak checker.
        library = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (library != nullptr) break;
    }
    if (library == nullptr) return Fail(BASS_ERROR_FILEOPEN, 0);
    auto* entry = reinterpret_cast<BASSPLUGINPROC*>(dlsym(library, "BASSplugin"));
    const void* info = entry ? entry(BASSPLUGIN_INFO) : nullptr;
    if (info == nullptr) {
        dlclose(library);
        return Fail(BASS_ERROR_FILEFORM, 0);
    }
    Plugin plugin;
    plugin.library = library;
    plugin.info = static_cast<const BASS_PLUGININFO*>(info);
    plugin.create = reinterpret_cast<STREAMCREATEPROC*>(const_cast<void*>(entry(BASSPLUGIN_CREATE)));
    plugin.createName =
        reinterpret_cast<STREAMCREATENAMEPROC*>(const_cast<void*>(entry(BASSPLUGIN_CREATENAME)));
    Dl_info where{};
    if (dladdr(reinterpret_cast<const void*>(entry), &where) != 0) plugin.base = where.dli_fbase;
    const HPLUGIN handle = Host::Get().AddPlugin(plugin);
    if (handle == 0) {
        dlclose(library);  // drops the reference this call added; the loaded copy stays
        return 0;
    }
    SetError(BASS_OK);
    return handle;
}

namespace {
// Streams of the plug-in go first: their procedures live in the library about to be unloaded.
void Unload(const Plugin& plugin) {
    Host::Get().RemoveChannelsOf(plugin.handle).clear();
    dlclose(plugin.library);
}
}  // namespace

bool FreePlugin(HPLUGIN handle) {
    if (handle == 0) {
        FreeAllPlugins();
        SetError(BASS_OK);
        return true;
    }
    Plugin plugin;
    if (!Host::Get().RemovePlugin(handle, &plugin)) return Fail(BASS_ERROR_HANDLE, false);
    Unload(plugin);
    SetError(BASS_OK);
    return true;
}

void FreeAllPlugins() {
    for (const auto& p : Host::Get().Plugins()) {
        Plugin plugin;
        if (Host::Get().RemovePlugin(p.handle, &plugin)) Unload(plugin);
    }
}

namespace {

// False (and the stream freed) when integers were asked for and the add-on, not knowing the integer flag,
// made a float or 16-bit stream anyway: its samples would be misread as integers.
bool KeepsIntegerRequest(HSTREAM handle, DWORD flags) {
    if (handle == 0 || !(flags & BASS_SAMPLE_INT32)) return true;
    auto& host = Host::Get();
    const std::shared_ptr<Channel> channel = host.Find(handle);
    if (channel && (channel->Flags() & BASS_SAMPLE_INT32)) return true;
    host.Remove(handle).reset();
    return false;
}

}  // namespace

HSTREAM OfferToPlugins(std::unique_ptr<HostFile> file, DWORD flags) {
    auto& host = Host::Get();
    int error = BASS_ERROR_FILEFORM;
    const bool seekable = file->CanSeek();
    BASSFILE offered = host.AddFile(std::move(file));
    bool first = true;
    for (const auto& plugin : host.Plugins()) {
        if (plugin.create == nullptr) continue;
        // A refusing add-on may have closed the file, or read from an input that cannot rewind.
        if (!host.IsOpenFile(offered)) break;
        if (!first && (!seekable || !static_cast<HostFile*>(offered)->Seek(0))) break;
        first = false;
        SetError(BASS_OK);
        const HSTREAM handle = plugin.create(offered, flags);
        if (!KeepsIntegerRequest(handle, flags)) return Fail(BASS_ERROR_FORMAT, 0);
        if (handle != 0) {
            // Normally entry 2 attached it already; an add-on that created the stream some other way
            // still hands it over.
            host.Attach(offered, handle);
            SetError(BASS_OK);
            return handle;
        }
        const int e = GetError();
        if (e != BASS_OK && e != BASS_ERROR_FILEFORM) error = e;
    }
    if (host.IsOpenFile(offered) && !host.IsAttached(offered)) host.CloseFile(offered);
    return Fail(error, 0);
}

HSTREAM OfferNameToPlugins(const char* name, DWORD flags) {
    // The open failure's code stands unless an add-on with a name face says something more precise.
    int error = GetError();
    for (const auto& plugin : Host::Get().Plugins()) {
        if (plugin.createName == nullptr) continue;
        SetError(BASS_OK);
        const HSTREAM handle = plugin.createName(name, flags);
        if (!KeepsIntegerRequest(handle, flags)) return Fail(BASS_ERROR_FORMAT, 0);
        if (handle != 0) {
            SetError(BASS_OK);
            return handle;
        }
        const int e = GetError();
        if (e != BASS_OK && e != BASS_ERROR_FILEFORM) error = e;
    }
    return Fail(error, 0);
}

}  // namespace bass
