# The Debian package (cpack -G DEB, run by scripts/package.sh from a Release build): what `cmake --install`
# puts into the prefix, with dependencies computed by dpkg-shlibdeps from the installed programs and add-ons.
set(CPACK_PACKAGE_NAME wavetrove)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Wavetrove developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch audio converter for the desktop and the console")
set(CPACK_PACKAGE_INSTALL_DIRECTORY wavetrove)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(WAVETROVE_PACKAGE_MAINTAINER "Wavetrove developers <wavetrove@quillsound.org>" CACHE STRING
    "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${WAVETROVE_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${WAVETROVE_HOMEPAGE}")
# The extended description; CPack puts the summary above it and indents it as a control file wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Wavetrove converts many audio files at once: single files, whole folders,
M3U and PLS playlists and the tracks of audio CDs or BIN/CUE images, into
MP3, Ogg Vorbis, Opus, FLAC, WAV, AIFF, Monkey's Audio, WavPack, AAC or
Apple Lossless, on several worker threads, keeping tags and, on request, file
times. Lossless conversions keep every sample bit for bit.

The package holds the desktop program (Qt 6), the console front end
wavetrove-cli for scripts and servers, and wavetrove-probe, which shows
what the program's decoders see in a file.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The add-ons and stand-in libraries are the package's own, found in its private folder.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${CPACK_PACKAGING_INSTALL_PREFIX}/${WAVETROVE_INSTALL_LIBDIR}")
# Opened with dlopen at run time, so dpkg-shlibdeps cannot see them: libFLAC, libogg, libvorbis and
# libwavpack for the FLAC, Ogg Vorbis and WavPack writers, and Qt's SVG icon engine for the program's
# icons (Qt loads it as a plugin; the linker drops the unused Qt SVG library from the program).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libflac12, libogg0, libvorbis0a, libvorbisenc2, libwavpack1, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
