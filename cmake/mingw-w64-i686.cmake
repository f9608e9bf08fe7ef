# Cross build for 32-bit Windows (x86), for hosts such as 32-bit IIS application pools.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(PAGELITH_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
