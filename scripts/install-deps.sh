#!/usr/bin/env bash
# Installs, through apt-get, whatever of the build and test tools is missing.
set -euo pipefail
need=()
have() { command -v "$1" >/dev/null 2>&1; }
have cmake || need+=(cmake)
have g++ || need+=(g++)
have make || need+=(make)
[ -d /usr/src/googletest ] || need+=(googletest)
[ -f /usr/lib/gcc/x86_64-linux-gnu/12/32/libstdc++.a ] || need+=(g++-multilib)
have x86_64-w64-mingw32-g++-posix || need+=(mingw-w64)
have i686-w64-mingw32-g++-posix || need+=(mingw-w64)
[ -x /usr/lib/wine/wine64 ] || need+=(wine64)
have qemu-i386 || need+=(qemu-user)
have sfdisk || need+=(fdisk)
have sgdisk || need+=(gdisk)
have qemu-img || need+=(qemu-utils)
have losetup || need+=(mount)
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${need[@]}"
fi
