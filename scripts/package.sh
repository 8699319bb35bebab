#!/usr/bin/env bash
# Builds the Debian package: a Release build with Debian's hardening flags in build/pkg (or
# $WAVETROVE_PACKAGE_BUILD), packed by CPack's DEB generator with dependencies from dpkg-shlibdeps, then
# checked with lintian (errors fail the script; warnings are printed). Prints the package's path last.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
BUILD=${WAVETROVE_PACKAGE_BUILD:-build/pkg}

# The flags Debian builds its own packages with (fortified calls, stack protector, read-only relocations).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CPPFLAGS=$(dpkg-buildflags --get CPPFLAGS)
CFLAGS="$(dpkg-buildflags --get CFLAGS) $CPPFLAGS"
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $CPPFLAGS"
LDFLAGS=$(dpkg-buildflags --get LDFLAGS)

# The private library folder below the multiarch one: /usr/lib/<name>/ would make CPack add ldconfig
# calls to the maintainer scripts, and a postrm keeps a removed package listed until it is purged.
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DWAVETROVE_INSTALL_LIBDIR="lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/wavetrove" \
  -DWAVETROVE_TESTS=OFF \
  -DCMAKE_C_FLAGS="$CFLAGS" -DCMAKE_CXX_FLAGS="$CXXFLAGS" \
  -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" -DCMAKE_SHARED_LINKER_FLAGS="$LDFLAGS" \
  -DCMAKE_MODULE_LINKER_FLAGS="$LDFLAGS" >/dev/null
cat "$BUILD/configure-summary.txt"
nice cmake --build "$BUILD"
rm -f "$BUILD"/wavetrove_*.deb
(cd "$BUILD" && cpack -G DEB)

deb=$(ls "$BUILD"/wavetrove_*.deb)
echo "package: checking $deb with lintian" >&2
lintian --fail-on error "$deb"
echo "$deb"
