# 32-bit Windows with MinGW-w64's cross compiler (its POSIX thread model, which
# std::thread needs). The tests run under 32-bit Wine (Debian's wine32) through
# scripts/wine32.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(cross_triple i686-w64-mingw32)
set(cross_suffix -posix)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine32.sh)
