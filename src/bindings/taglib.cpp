// Run-time binding of libtagwrapper.so through dlopen/dlsym. The pointer types come from the wrapper's
// own C header, so a signature change there breaks this build instead of the call at run time.
#include "bindings/taglib.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "platform/tagwrapper/tagwrapper.h"

namespace taglib {
namespace {

struct Api {
    void* module = nullptr;
    decltype(&::taglib_set_strings_unicode) set_strings_unicode = nullptr;
    decltype(&::taglib_file_newu) file_newu = nullptr;
    decltype(&::taglib_file_new_as) file_new_as = nullptr;
    decltype(&::taglib_file_tag) file_tag = nullptr;
    decltype(&::taglib_tag_title) tag_title = nullptr;
    decltype(&::taglib_tag_artist) tag_artist = nullptr;
    decltype(&::taglib_tag_album) tag_album = nullptr;
    decltype(&::taglib_tag_genre) tag_genre = nullptr;
    decltype(&::taglib_tag_track) tag_track = nullptr;
    decltype(&::taglib_tag_year) tag_year = nullptr;
    decltype(&::taglib_tag_set_title) tag_set_title = nullptr;
    decltype(&::taglib_tag_set_artist) tag_set_artist = nullptr;
    decltype(&::taglib_tag_set_album) tag_set_album = nullptr;
    decltype(&::taglib_tag_set_genre) tag_set_genre = nullptr;
    decltype(&::taglib_tag_set_track) tag_set_track = nullptr;
    decltype(&::taglib_tag_set_year) tag_set_year = nullptr;
    decltype(&::taglib_file_save) file_save = nullptr;
    decltype(&::taglib_tag_copy) tag_copy = nullptr;
    decltype(&::taglib_file_free) file_free = nullptr;
    decltype(&::taglib_tag_free_strings) tag_free_strings = nullptr;
};

Api gApi;

::TagLib_File* Raw(TagLib_File* file) {
    return reinterpret_cast<::TagLib_File*>(file);
}
::TagLib_Tag* Raw(TagLib_Tag* tag) {
    return reinterpret_cast<::TagLib_Tag*>(tag);
}

std::string ExecutableDir() {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) return {};
    const std::string path(buffer, static_cast<size_t>(length));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void* OpenLibrary(const char* name) {
    const std::string given(name);
    if (given.find('/') == std::string::npos) {
        const std::string dir = ExecutableDir();
        if (!dir.empty()) {
            if (void* module = dlopen((dir + given).c_str(), RTLD_NOW | RTLD_LOCAL)) return module;
            // An installed program's private library folder. Named here rather than left to the RUNPATH:
            // dlopen searches the caller's RUNPATH, and an interposed dlopen (a sanitizer's) is the caller.
            const std::string installed = dir + WAVETROVE_LIB_FROM_BIN + "/" + given;
            if (void* module = dlopen(installed.c_str(), RTLD_NOW | RTLD_LOCAL)) return module;
        }
    }
    return dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

template <typename Function>
bool Bind(void* module, const char* name, Function& slot) {
    slot = reinterpret_cast<Function>(dlsym(module, name));
    return slot != nullptr;
}

bool BindAll(void* module, Api& api) {
    api.module = module;
    return Bind(module, "taglib_set_strings_unicode", api.set_strings_unicode) &&
           Bind(module, "taglib_file_newu", api.file_newu) &&
           Bind(module, "taglib_file_new_as", api.file_new_as) &&
           Bind(module, "taglib_file_tag", api.file_tag) && Bind(module, "taglib_tag_title", api.tag_title) &&
           Bind(module, "taglib_tag_artist", api.tag_artist) &&
           Bind(module, "taglib_tag_album", api.tag_album) &&
           Bind(module, "taglib_tag_genre", api.tag_genre) &&
           Bind(module, "taglib_tag_track", api.tag_track) && Bind(module, "taglib_tag_year", api.tag_year) &&
           Bind(module, "taglib_tag_set_title", api.tag_set_title) &&
           Bind(module, "taglib_tag_set_artist", api.tag_set_artist) &&
           Bind(module, "taglib_tag_set_album", api.tag_set_album) &&
           Bind(module, "taglib_tag_set_genre", api.tag_set_genre) &&
           Bind(module, "taglib_tag_set_track", api.tag_set_track) &&
           Bind(module, "taglib_tag_set_year", api.tag_set_year) &&
           Bind(module, "taglib_file_save", api.file_save) && Bind(module, "taglib_tag_copy", api.tag_copy) &&
           Bind(module, "taglib_file_free", api.file_free) &&
           Bind(module, "taglib_tag_free_strings", api.tag_free_strings);
}

const char* TextOrEmpty(const char* text) {
    return text != nullptr ? text : "";
}

}  // namespace

bool Load(const char* libraryName) {
    if (gApi.module != nullptr) return true;
    if (libraryName == nullptr) return false;
    void* module = OpenLibrary(libraryName);
    if (module == nullptr) return false;
    Api api;
    if (!BindAll(module, api)) {
        dlclose(module);
        return false;
    }
    gApi = api;
    return true;
}

void Unload() {
    if (gApi.module == nullptr) return;
    gApi.tag_free_strings();
    void* module = gApi.module;
    gApi = Api{};
    dlclose(module);
}

bool IsLoaded() {
    return gApi.module != nullptr;
}

void taglib_set_strings_unicode(bool on) {
    if (gApi.module) gApi.set_strings_unicode(on ? 1 : 0);
}

TagLib_File* taglib_file_newu(const char* utf8Path) {
    if (!gApi.module) return nullptr;
    return reinterpret_cast<TagLib_File*>(gApi.file_newu(utf8Path));
}

TagLib_File* taglib_file_new_as(const char* utf8Path, const char* extension) {
    if (!gApi.module) return nullptr;
    return reinterpret_cast<TagLib_File*>(gApi.file_new_as(utf8Path, extension));
}

TagLib_Tag* taglib_file_tag(TagLib_File* file) {
    if (!gApi.module) return nullptr;
    return reinterpret_cast<TagLib_Tag*>(gApi.file_tag(Raw(file)));
}

const char* taglib_tag_title(TagLib_Tag* tag) {
    return gApi.module ? TextOrEmpty(gApi.tag_title(Raw(tag))) : "";
}
const char* taglib_tag_artist(TagLib_Tag* tag) {
    return gApi.module ? TextOrEmpty(gApi.tag_artist(Raw(tag))) : "";
}
const char* taglib_tag_album(TagLib_Tag* tag) {
    return gApi.module ? TextOrEmpty(gApi.tag_album(Raw(tag))) : "";
}
const char* taglib_tag_genre(TagLib_Tag* tag) {
    return gApi.module ? TextOrEmpty(gApi.tag_genre(Raw(tag))) : "";
}
unsigned taglib_tag_track(TagLib_Tag* tag) {
    return gApi.module ? gApi.tag_track(Raw(tag)) : 0;
}
unsigned taglib_tag_year(TagLib_Tag* tag) {
    return gApi.module ? gApi.tag_year(Raw(tag)) : 0;
}

void taglib_tag_set_title(TagLib_Tag* tag, const char* utf8) {
    if (gApi.module) gApi.tag_set_title(Raw(tag), utf8);
}
void taglib_tag_set_artist(TagLib_Tag* tag, const char* utf8) {
    if (gApi.module) gApi.tag_set_artist(Raw(tag), utf8);
}
void taglib_tag_set_album(TagLib_Tag* tag, const char* utf8) {
    if (gApi.module) gApi.tag_set_album(Raw(tag), utf8);
}
void taglib_tag_set_genre(TagLib_Tag* tag, const char* utf8) {
    if (gApi.module) gApi.tag_set_genre(Raw(tag), utf8);
}
void taglib_tag_set_track(TagLib_Tag* tag, unsigned track) {
    if (gApi.module) gApi.tag_set_track(Raw(tag), track);
}
void taglib_tag_set_year(TagLib_Tag* tag, unsigned year) {
    if (gApi.module) gApi.tag_set_year(Raw(tag), year);
}

bool taglib_file_save(TagLib_File* file) {
    return gApi.module ? gApi.file_save(Raw(file)) != 0 : false;
}

void taglib_tag_copy(TagLib_File* source, TagLib_File* destination) {
    if (gApi.module) gApi.tag_copy(Raw(source), Raw(destination));
}

void taglib_file_free(TagLib_File* file) {
    if (gApi.module) gApi.file_free(Raw(file));
}

void taglib_tag_free_strings() {
    if (gApi.module) gApi.tag_free_strings();
}

}  // namespace taglib
