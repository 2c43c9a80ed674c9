#!/usr/bin/env bash
# Runs a 32-bit Windows program under 32-bit Wine (Debian's wine32), in $WINEPREFIX. Where
# the kernel runs no 32-bit programs (sandboxed kernels often don't), 32-bit Wine itself
# runs under qemu-user: as one process, not re-executed through Wine's preloader, in a
# prefix made here (Wine's own set-up would start further 32-bit programs).
set -euo pipefail
wine=/usr/lib/wine/wine
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  exec "$wine" "$@"
fi
prefix=${WINEPREFIX:?WINEPREFIX must name the prefix}
if [ ! -e "$prefix/.update-timestamp" ]; then
  system=$prefix/drive_c/windows/system32
  mkdir -p "$prefix/dosdevices" "$system"
  ln -sfn ../drive_c "$prefix/dosdevices/c:"
  ln -sfn / "$prefix/dosdevices/z:"
  ln -sf /usr/lib/i386-linux-gnu/wine/i386-windows/* "$system/"
  # Wine sets a prefix up again whenever wine.inf is newer than this stamp.
  stat -c %Y /usr/share/wine/wine.inf >"$prefix/.update-timestamp"
fi
WINEARCH=win32 WINELOADERNOEXEC=1 exec qemu-i386 -R 0xc0000000 "$wine" "$@"
