# 32-bit x86 Linux with Debian's cross compiler. The programs run natively on an x86-64
# kernel, given the target's own C library and loader.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(cross_triple i686-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "-Wl,-rpath,/usr/i686-linux-gnu/lib -Wl,--dynamic-linker,/usr/i686-linux-gnu/lib/ld-linux.so.2")
