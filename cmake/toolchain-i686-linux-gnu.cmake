# 32-bit x86 Linux with Debian's cross compiler. The programs run natively on an x86-64
# kernel that runs 32-bit programs, given the target's own C library and loader.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(cross_triple i686-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "-Wl,-rpath,/usr/i686-linux-gnu/lib -Wl,--dynamic-linker,/usr/i686-linux-gnu/lib/ld-linux.so.2")
# Where the kernel runs no 32-bit programs (sandboxed kernels often don't), the tests run
# under qemu-user instead.
execute_process(COMMAND /usr/i686-linux-gnu/lib/ld-linux.so.2 --version
                RESULT_VARIABLE native_32bit OUTPUT_QUIET ERROR_QUIET)
if(NOT native_32bit EQUAL 0)
  set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386 -L /usr/i686-linux-gnu)
endif()
