# zlib, libdeflate, libjpeg (IJG 6b interface), HarfBuzz with its subset library and FriBidi. For the Windows
# build all come as static libraries: zlib from Debian's mingw package, the others built from Debian's
# source (all but libjpeg of the same version as on Linux, so that both lay out and write the same bytes).
if(CMAKE_CROSSCOMPILING AND WIN32)
  # Shared by every Windows build dir of the checkout, so the source is fetched once.
  set(PAGELITH_MINGW_DEPS "${PROJECT_SOURCE_DIR}/build-windows/deps" CACHE PATH
    "Where the static Windows builds of the dependencies live")
  string(REGEX MATCH "^[^-]+" pagelith_mingw_arch "${PAGELITH_MINGW_TRIPLE}")
  # Builds one library with its script unless its stamp is there; sets `out` to where it lives.
  function(pagelith_mingw_dependency name stamp script out)
    set(prefix "${PAGELITH_MINGW_DEPS}/${name}")
    if(NOT EXISTS "${prefix}/${stamp}")
      message(STATUS "Building ${name} for Windows into ${prefix}")
      execute_process(
        COMMAND "${PROJECT_SOURCE_DIR}/cmake/scripts/${script}" "${PAGELITH_MINGW_DEPS}" "${pagelith_mingw_arch}"
        RESULT_VARIABLE result)
      if(NOT result EQUAL 0)
        message(FATAL_ERROR "Could not build ${name} for Windows")
      endif()
    endif()
    set(${out} "${prefix}" PARENT_SCOPE)
  endfunction()
  pagelith_mingw_dependency(libjpeg .built-simd mingw-libjpeg.sh PAGELITH_MINGW_JPEG)
  pagelith_mingw_dependency(libdeflate .built mingw-libdeflate.sh PAGELITH_MINGW_DEFLATE)
  pagelith_mingw_dependency(harfbuzz .built mingw-harfbuzz.sh PAGELITH_MINGW_HARFBUZZ)
  pagelith_mingw_dependency(fribidi .built mingw-fribidi.sh PAGELITH_MINGW_FRIBIDI)
  list(PREPEND CMAKE_FIND_ROOT_PATH "${PAGELITH_MINGW_JPEG}" "${PAGELITH_MINGW_DEFLATE}" "${PAGELITH_MINGW_HARFBUZZ}"
    "${PAGELITH_MINGW_FRIBIDI}")
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

# FriBidi (the bidirectional algorithm): pkg-config on Linux. The Windows include dir is the fribidi
# folder, as pkg-config gives on Linux. No FRIBIDI_STATIC: this version's headers ask for a DLL
# import only when built with MSVC.
if(CMAKE_CROSSCOMPILING AND WIN32)
  find_path(FRIBIDI_INCLUDE_DIRS fribidi.h PATH_SUFFIXES fribidi)
  find_library(FRIBIDI_LINK_LIBRARIES NAMES fribidi)
  if(NOT FRIBIDI_INCLUDE_DIRS OR NOT FRIBIDI_LINK_LIBRARIES)
    message(FATAL_ERROR "FriBidi not found in ${PAGELITH_MINGW_FRIBIDI}")
  endif()
else()
  pkg_check_modules(FRIBIDI fribidi)
  if(NOT FRIBIDI_FOUND)
    message(FATAL_ERROR "FriBidi not found (Debian package libfribidi-dev)")
  endif()
endif()
add_library(pagelith_fribidi INTERFACE)
target_include_directories(pagelith_fribidi INTERFACE ${FRIBIDI_INCLUDE_DIRS})
target_link_libraries(pagelith_fribidi INTERFACE ${FRIBIDI_LINK_LIBRARIES})

if(CMAKE_CROSSCOMPILING AND WIN32)
  foreach(lib IN LISTS ZLIB_LIBRARIES JPEG_LIBRARIES LIBDEFLATE_LIBRARY HARFBUZZ_LINK_LIBRARIES
      FRIBIDI_LINK_LIBRARIES)
    if(lib MATCHES "\\.dll\\.a$")
      message(FATAL_ERROR "Windows build found an import library instead of a static one: ${lib}")
    endif()
  endforeach()
endif()
