# zlib, libdeflate, libjpeg (IJG 6b interface) and HarfBuzz with its subset library. For the Windows
# build all come as static libraries: zlib from Debian's mingw package, the others built from Debian's
# source (libdeflate and HarfBuzz of the same version as on Linux, so that both write the same bytes).
if(CMAKE_CROSSCOMPILING AND WIN32)
  # Shared by every Windows build dir of the checkout, so the source is fetched once.
  set(PAGELITH_MINGW_DEPS "${PROJECT_SOURCE_DIR}/build-windows/deps" CACHE PATH
    "Where the static Windows builds of the dependencies live")
  set(PAGELITH_MINGW_JPEG "${PAGELITH_MINGW_DEPS}/libjpeg")
  string(REGEX MATCH "^[^-]+" pagelith_mingw_arch "${PAGELITH_MINGW_TRIPLE}")
  if(NOT EXISTS "${PAGELITH_MINGW_JPEG}/.built-simd")
    message(STATUS "Building libjpeg for Windows into ${PAGELITH_MINGW_JPEG}")
    execute_process(
      COMMAND "${PROJECT_SOURCE_DIR}/cmake/scripts/mingw-libjpeg.sh" "${PAGELITH_MINGW_DEPS}" "${pagelith_mingw_arch}"
      RESULT_VARIABLE pagelith_jpeg_result)
    if(NOT pagelith_jpeg_result EQUAL 0)
      message(FATAL_ERROR "Could not build libjpeg for Windows")
    endif()
  endif()
  set(PAGELITH_MINGW_DEFLATE "${PAGELITH_MINGW_DEPS}/libdeflate")
  if(NOT EXISTS "${PAGELITH_MINGW_DEFLATE}/.built")
    message(STATUS "Building libdeflate for Windows into ${PAGELITH_MINGW_DEFLATE}")
    execute_process(
      COMMAND "${PROJECT_SOURCE_DIR}/cmake/scripts/mingw-libdeflate.sh" "${PAGELITH_MINGW_DEPS}" "${pagelith_mingw_arch}"
      RESULT_VARIABLE pagelith_deflate_result)
    if(NOT pagelith_deflate_result EQUAL 0)
      message(FATAL_ERROR "Could not build libdeflate for Windows")
    endif()
  endif()
  set(PAGELITH_MINGW_HARFBUZZ "${PAGELITH_MINGW_DEPS}/harfbuzz")
  if(NOT EXISTS "${PAGELITH_MINGW_HARFBUZZ}/.built")
    message(STATUS "Building HarfBuzz for Windows into ${PAGELITH_MINGW_HARFBUZZ}")
    execute_process(
      COMMAND "${PROJECT_SOURCE_DIR}/cmake/scripts/mingw-harfbuzz.sh" "${PAGELITH_MINGW_DEPS}" "${pagelith_mingw_arch}"
      RESULT_VARIABLE pagelith_harfbuzz_result)
    if(NOT pagelith_harfbuzz_result EQUAL 0)
      message(FATAL_ERROR "Could not build HarfBuzz for Windows")
    endif()
  endif()
  list(PREPEND CMAKE_FIND_ROOT_PATH "${PAGELITH_MINGW_JPEG}" "${PAGELITH_MINGW_DEFLATE}" "${PAGELITH_MINGW_HARFBUZZ}")
  # Static archives only: an import library would pull in zlib1.dll or libjpeg-62.dll.
  set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
  set(ZLIB_USE_STATIC_LIBS ON)
endif()

find_package(ZLIB REQUIRED)
find_package(JPEG REQUIRED)

find_path(LIBDEFLATE_INCLUDE_DIR libdeflate.h)
find_library(LIBDEFLATE_LIBRARY NAMES deflate)
if(NOT LIBDEFLATE_INCLUDE_DIR OR NOT LIBDEFLATE_LIBRARY)
  message(FATAL_ERROR "libdeflate not found (Debian package libdeflate-dev)")
endif()
add_library(pagelith_libdeflate INTERFACE)
target_include_directories(pagelith_libdeflate INTERFACE "${LIBDEFLATE_INCLUDE_DIR}")
target_link_libraries(pagelith_libdeflate INTERFACE "${LIBDEFLATE_LIBRARY}")

# HarfBuzz: on Linux through pkg-config; the Windows archive holds the subset library and the base.
if(CMAKE_CROSSCOMPILING AND WIN32)
  find_path(HARFBUZZ_INCLUDE_DIRS hb-subset.h PATH_SUFFIXES harfbuzz)
  find_library(HARFBUZZ_LINK_LIBRARIES NAMES harfbuzz-subset)
  if(NOT HARFBUZZ_INCLUDE_DIRS OR NOT HARFBUZZ_LINK_LIBRARIES)
    message(FATAL_ERROR "HarfBuzz not found in ${PAGELITH_MINGW_HARFBUZZ}")
  endif()
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(HARFBUZZ harfbuzz harfbuzz-subset)
  if(NOT HARFBUZZ_FOUND)
    message(FATAL_ERROR "HarfBuzz not found (Debian package libharfbuzz-dev)")
  endif()
endif()
add_library(pagelith_harfbuzz INTERFACE)
target_include_directories(pagelith_harfbuzz INTERFACE ${HARFBUZZ_INCLUDE_DIRS})
target_link_libraries(pagelith_harfbuzz INTERFACE ${HARFBUZZ_LINK_LIBRARIES})

if(CMAKE_CROSSCOMPILING AND WIN32)
  foreach(lib IN LISTS ZLIB_LIBRARIES JPEG_LIBRARIES LIBDEFLATE_LIBRARY HARFBUZZ_LINK_LIBRARIES)
    if(lib MATCHES "\\.dll\\.a$")
      message(FATAL_ERROR "Windows build found an import library instead of a static one: ${lib}")
    endif()
  endforeach()
endif()
