#!/usr/bin/env bash
# Installs the Debian packages that kinbook needs (only those missing) and builds it.
#   tools/setup.sh [build-dir] [extra cmake options...]
#   tools/setup.sh --packages-only     (installs, builds nothing)
# KINBOOK_BUILD_TARGETS="a b": builds only those targets (and what they need).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
packages=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev
          qt6-charts-dev libqt6opengl6-dev qt6-translations-l10n libsqlite3-dev sqlite3 libgtest-dev
          fonts-arphic-uming fonts-arphic-ukai libxkbcommon0 xauth
          clang libclang-rt-14-dev poppler-utils libquazip1-qt6-dev libsodium-dev libxml2-dev libfreexl-dev
          librsvg2-bin dpkg-dev lintian desktop-file-utils appstream ccache
          libspreadsheet-writeexcel-perl)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
[ "${1:-}" = --packages-only ] && exit 0
build=${1:-"$here/build"}
shift || true
# Compiled files are kept by ccache between builds and clones; the precompiled headers' users too.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
export CCACHE_SLOPPINESS=${CCACHE_SLOPPINESS:-pch_defines,time_macros,include_file_mtime,include_file_ctime}
# Paths are hashed relative to the clone, so that a fresh clone elsewhere (CI's) finds what another
# clone compiled; the folder itself is not hashed either (its name then stands in debugging
# information only, as the first clone's).
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$here} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
cmake -S "$here" -B "$build" -G Ninja "${launcher[@]}" "$@" >/dev/null
targets=()
[ -z "${KINBOOK_BUILD_TARGETS:-}" ] || targets=(--target $KINBOOK_BUILD_TARGETS)
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
