#!/usr/bin/env bash
# Installs what the project needs to build, test and play, from Debian's
# packages. Safe to run again: it only installs what is missing, and does
# nothing (quickly) when everything is there. Uses sudo when not root.
#
# Extra groups can be named on the command line, on top of the usual set:
#   fuzz   clang and its libFuzzer runtime, for `make fuzz`
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsdl2-dev libglew-dev libglu1-mesa-dev libgl1-mesa-dev
  libjpeg62-turbo-dev libpng-dev libdeflate-dev libvorbis-dev libkissfft-dev
  libfreetype-dev fonts-dejavu-core
  libcli11-dev nlohmann-json3-dev
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev
  libgtest-dev libbenchmark-dev
  xvfb xauth libgl1-mesa-dri
  # EGL and OpenGL ES: SDL's offscreen driver and the es renderer
  libegl1 libegl-mesa0 libgles2
  python3
  desktop-file-utils appstream lintian help2man file
)

for group in "$@"; do
  case "$group" in
    # Debian's default clang and the compiler-rt of that same version, which
    # holds libclang_rt.fuzzer and the sanitizer runtimes.
    fuzz) packages+=(clang libclang-rt-dev) ;;
    *) echo "setup: no package group called '$group' (there is: fuzz)" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then
  if ! command -v sudo >/dev/null; then
    echo "setup: these packages are missing and there is no sudo to install them: ${missing[*]}" >&2
    exit 1
  fi
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
