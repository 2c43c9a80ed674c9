# Included by the toolchain files once they have set cross_triple (and, for a compiler
# variant, cross_suffix): Debian's cross compilers for that triple, and the target's own
# libraries and headers under /usr/<triple>, never the build machine's.
set(CMAKE_C_COMPILER ${cross_triple}-gcc${cross_suffix})
set(CMAKE_CXX_COMPILER ${cross_triple}-g++${cross_suffix})
set(CMAKE_FIND_ROOT_PATH /usr/${cross_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
