# Cross build for Windows with Debian's mingw-w64 (posix thread model, so that std::thread and
# std::mutex exist), included by the toolchain file of each processor after it has set
# CMAKE_SYSTEM_PROCESSOR and PAGELITH_MINGW_TRIPLE. Everything is linked statically: the results
# need no DLL beyond the system's own.
set(CMAKE_SYSTEM_NAME Windows)

set(PAGELITH_MINGW_SYSROOT /usr/${PAGELITH_MINGW_TRIPLE})

find_program(CMAKE_C_COMPILER NAMES ${PAGELITH_MINGW_TRIPLE}-gcc-posix ${PAGELITH_MINGW_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${PAGELITH_MINGW_TRIPLE}-g++-posix ${PAGELITH_MINGW_TRIPLE}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${PAGELITH_MINGW_TRIPLE}-windres)
find_program(CMAKE_AR NAMES ${PAGELITH_MINGW_TRIPLE}-gcc-ar-posix ${PAGELITH_MINGW_TRIPLE}-ar)
find_program(CMAKE_RANLIB NAMES ${PAGELITH_MINGW_TRIPLE}-gcc-ranlib-posix ${PAGELITH_MINGW_TRIPLE}-ranlib)

# Libraries and headers come from the mingw sysroot (and prefixes appended to
# CMAKE_FIND_ROOT_PATH, like the libjpeg built for this target); programs from the host.
list(APPEND CMAKE_FIND_ROOT_PATH ${PAGELITH_MINGW_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -static (not only -static-libgcc/-static-libstdc++) so libwinpthread is linked in too.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Lets CTest run Windows test programs.
find_program(PAGELITH_WINE NAMES wine wine64)
if(PAGELITH_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PAGELITH_WINE})
endif()
