#!/usr/bin/env bash
# Installs every Debian package Wavetrove needs to build, test and run. Idempotent: packages that are
# already present are skipped, so repeated runs cost one dpkg query.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build ccache pkg-config clang libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev
  # Qt 6 (core settings storage, widgets, svg icons, tests)
  qt6-base-dev qt6-svg-dev libgl-dev
  # root certificates for the update check's HTTPS request
  ca-certificates
  # decoding host and add-on
  libavformat-dev libavcodec-dev libavutil-dev
  libsndfile1-dev libmpg123-dev libvorbis-dev libogg-dev libopenmpt-dev
  # audio CDs: reading with error correction, CDDB over HTTP
  libcdio-dev libcdio-paranoia-dev libcurl4-openssl-dev
  # tags
  libtag1-dev
  # resampling and writers
  libsoxr-dev libmp3lame-dev libflac-dev libopusenc-dev libwavpack-dev
  # AAC writer (non-free) and the library's own command-line encoder as its reference
  libfdk-aac-dev aac-enc
  # reference tools used by tests and benchmarks
  ffmpeg sox lame flac vorbis-tools opus-tools wavpack time xvfb xauth cd-paranoia libcddb2-dev
  # installing: icon sizes rendered from the SVG, checks of the desktop entry, metainfo and man pages,
  # the shell completion's helpers, the Debian package's dependencies and its check
  librsvg2-bin desktop-file-utils appstream groff-base man-db bash-completion dpkg-dev lintian
)

# fdk-aac lives in Debian's non-free component: enable it once, beside the system's own sources.
NONFREE=/etc/apt/sources.list.d/wavetrove-non-free.sources
SUDO=
if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
fi
need_update=
if [ ! -e "$NONFREE" ]; then
  echo "deps: enabling Debian's non-free component for fdk-aac" >&2
  $SUDO tee "$NONFREE" >/dev/null <<'SOURCES'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: non-free
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  need_update=1
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  if [ -n "$need_update" ]; then
    $SUDO apt-get update -qq
  fi
  exit 0
fi

echo "deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
