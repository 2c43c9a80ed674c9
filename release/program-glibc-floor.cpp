// Linked into the release build of a Linux program (with the --wrap options that
// release/CMakeLists.txt gives it): the C++ runtime inside the program and the start-up
// code of the build machine's glibc reference symbols that glibc 2.17 does not have, or
// has only under an older version. Each is bound here to what every glibc from 2.17 on
// provides. x86-64 only: the only program the archives carry is built there.
#if !defined(__x86_64__)
#error "the release program's glibc floor is set for x86-64 only"
#endif

#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

extern "C" {

// The versions these had before 2.33 and 2.34 (stat and friends were inline wrappers of
// __xstat and friends until 2.33; pthread_once lived in libpthread.so.0 until 2.34).
int vellicorXstat(int version, const char* path, struct stat* buffer);
int vellicorLxstat(int version, const char* path, struct stat* buffer);
int vellicorFxstat64(int version, int fd, struct stat64* buffer);
int vellicorPthreadOnce(pthread_once_t* once, void (*routine)(void));
int vellicorLibcStartMain(int (*main)(int, char**, char**), int argc, char** argv,
                          void (*init)(int, char**, char**), void (*fini)(void),
                          void (*loaderFini)(void), void* stackEnd);
__asm__(".symver vellicorXstat, __xstat@GLIBC_2.2.5");
__asm__(".symver vellicorLxstat, __lxstat@GLIBC_2.2.5");
__asm__(".symver vellicorFxstat64, __fxstat64@GLIBC_2.2.5");
__asm__(".symver vellicorPthreadOnce, pthread_once@GLIBC_2.2.5");
__asm__(".symver vellicorLibcStartMain, __libc_start_main@GLIBC_2.2.5");

constexpr int kStatVersion = 1;  // _STAT_VER_LINUX on x86-64

int __wrap_stat(const char* path, struct stat* buffer) {
    return vellicorXstat(kStatVersion, path, buffer);
}
int __wrap_lstat(const char* path, struct stat* buffer) {
    return vellicorLxstat(kStatVersion, path, buffer);
}
int __wrap_fstat64(int fd, struct stat64* buffer) {
    return vellicorFxstat64(kStatVersion, fd, buffer);
}
int __wrap_pthread_once(pthread_once_t* once, void (*routine)(void)) {
    return vellicorPthreadOnce(once, routine);
}

// The runtime asks whether the process has only one thread to skip atomic operations;
// "not known to be" is always a safe answer (the variable came with glibc 2.32).
char __wrap___libc_single_threaded = 0;

// std::random_device's sources (glibc 2.25 and 2.36); the program draws no random numbers,
// but the runtime's string instances reach them. The kernel's getrandom serves both.
int __wrap_getentropy(void* buffer, std::size_t length) {
    if (length > 256) {
        errno = EIO;
        return -1;
    }
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (length > 0) {
        const long got = syscall(SYS_getrandom, bytes, length, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        bytes += got;
        length -= static_cast<std::size_t>(got);
    }
    return 0;
}
std::uint32_t __wrap_arc4random(void) {
    std::uint32_t value = 0;
    if (__wrap_getentropy(&value, sizeof value) != 0) value = static_cast<std::uint32_t>(getpid());
    return value;
}

// Start-up. The start code of glibc 2.34 on passes no constructor runner and leaves the
// constructors to __libc_start_main@GLIBC_2.34; the older entry point runs only what it is
// given. So the program hands it a runner of its own, which every glibc calls in place
// of its own (the same entry point, given a runner, calls only that).
extern void (*__init_array_start[])(int, char**, char**) __attribute__((visibility("hidden")));
extern void (*__init_array_end[])(int, char**, char**) __attribute__((visibility("hidden")));
void _init(void);

static void runConstructors(int argc, char** argv, char** environment) {
    _init();
    const std::size_t count = static_cast<std::size_t>(__init_array_end - __init_array_start);
    for (std::size_t i = 0; i < count; ++i) __init_array_start[i](argc, argv, environment);
}

int __wrap___libc_start_main(int (*main)(int, char**, char**), int argc, char** argv,
                             void (*init)(int, char**, char**), void (*fini)(void),
                             void (*loaderFini)(void), void* stackEnd) {
    return vellicorLibcStartMain(main, argc, argv, init ? init : runConstructors, fini,
                                 loaderFini, stackEnd);
}

}  // extern "C"
