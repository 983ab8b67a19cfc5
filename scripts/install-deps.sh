#!/usr/bin/env bash
# Installs, through apt-get, whatever of the build and test tools is missing;
# nothing when all is there.
set -euo pipefail
need=()
need_x86=()
need_bare=()
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
# The JSON tests parse the documents and compare them with sfdisk --json.
have python3 || need_bare+=(python3)
# Peers that make volumes inside image files for the volume tests.
[ -x /usr/sbin/mkntfs ] || have mkntfs || need+=(ntfs-3g)
[ -x /usr/sbin/mkfs.fat ] || have mkfs.fat || need+=(dosfstools)
[ -x /usr/bin/time ] || need+=(time)
# The fuzz targets: clang and its runtimes (libFuzzer and the sanitizers).
have clang++-14 || need_bare+=(clang-14)
compgen -G "/usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null || need_bare+=(libclang-rt-14-dev)
# The boot code images are assembled by nasm and booted under qemu's PC; its
# recommends (the graphical front end, UEFI firmware) are not needed.
have nasm || need+=(nasm)
have qemu-system-i386 || need_bare+=(qemu-system-x86)
# Partam.exe runs under Debian's 32-bit wine, from the i386 architecture;
# its recommends (fonts, Gecko, Mono and their libraries) are not needed.
[ -x /usr/lib/wine/wine ] || need_x86+=(wine32:i386)

if [ ${#need[@]} -gt 0 ] || [ ${#need_x86[@]} -gt 0 ] || [ ${#need_bare[@]} -gt 0 ]; then
  echo "Installing: ${need[*]} ${need_bare[*]} ${need_x86[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  apt() { "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get "$@"; }
  if [ ${#need_x86[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  apt update -qq
  [ ${#need[@]} -eq 0 ] || apt install -y -qq "${need[@]}"
  [ ${#need_bare[@]} -eq 0 ] || apt install -y -qq --no-install-recommends "${need_bare[@]}"
  [ ${#need_x86[@]} -eq 0 ] || apt install -y -qq --no-install-recommends "${need_x86[@]}"
fi
