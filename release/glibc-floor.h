/* Force-included into every release build for Linux (see CMakeLists.txt). The archives'
   binaries must load on every glibc from 2.17 on, but the build machine's glibc gives some
   functions a newer version than their oldest one: exp, exp2, log, log2 and pow got new
   versions in 2.29 with the same results, and the dl functions moved into the C library in
   2.34. References to them are bound here to the version each architecture first had.
   What the C++ runtime inside a program references is bound in program-glibc-floor.cpp;
   scripts/release.sh refuses any binary that still asks for more. */
#if defined(__linux__)
#include <features.h> /* defines __GLIBC__ */
#endif
#if defined(__linux__) && defined(__GLIBC__)
#if defined(__x86_64__)
#define VELLICOR_GLIBC_FLOOR "GLIBC_2.2.5"
#define VELLICOR_GLIBC_DL_FLOOR "GLIBC_2.2.5"
#elif defined(__aarch64__)
#define VELLICOR_GLIBC_FLOOR "GLIBC_2.17"
#define VELLICOR_GLIBC_DL_FLOOR "GLIBC_2.17"
#elif defined(__i386__)
#define VELLICOR_GLIBC_FLOOR "GLIBC_2.0"
#define VELLICOR_GLIBC_C99_FLOOR "GLIBC_2.1"
#define VELLICOR_GLIBC_DL_FLOOR "GLIBC_2.1"
#endif
#ifdef VELLICOR_GLIBC_FLOOR
#ifndef VELLICOR_GLIBC_C99_FLOOR /* exp2 and log2 came later on 32-bit x86 */
#define VELLICOR_GLIBC_C99_FLOOR VELLICOR_GLIBC_FLOOR
#endif
__asm__(".symver exp, exp@" VELLICOR_GLIBC_FLOOR);
__asm__(".symver exp2, exp2@" VELLICOR_GLIBC_C99_FLOOR);
__asm__(".symver log, log@" VELLICOR_GLIBC_FLOOR);
__asm__(".symver log2, log2@" VELLICOR_GLIBC_C99_FLOOR);
__asm__(".symver pow, pow@" VELLICOR_GLIBC_FLOOR);
/* Before 2.34 these lived in libdl.so.2, which a program using them then names itself. */
__asm__(".symver dlopen, dlopen@" VELLICOR_GLIBC_DL_FLOOR);
__asm__(".symver dlsym, dlsym@" VELLICOR_GLIBC_FLOOR);
__asm__(".symver dlclose, dlclose@" VELLICOR_GLIBC_FLOOR);
__asm__(".symver dlerror, dlerror@" VELLICOR_GLIBC_FLOOR);
#endif
#endif
