# Windows cross build only: a program that links the core and its static dependencies,
# checked right after linking for imports of non-system DLLs, and run as a test under Wine.
add_executable(pagelith_linkcheck ${PROJECT_SOURCE_DIR}/cmake/linkcheck/linkcheck.cpp)
target_link_libraries(pagelith_linkcheck PRIVATE pagelith)
add_custom_command(TARGET pagelith_linkcheck POST_BUILD
  COMMAND ${PROJECT_SOURCE_DIR}/cmake/scripts/check-imports.sh $<TARGET_FILE:pagelith_linkcheck>
  VERBATIM)

enable_testing()
if(CMAKE_CROSSCOMPILING_EMULATOR)
  add_test(NAME windows_linkcheck COMMAND pagelith_linkcheck)
endif()

# pagelith_add_windows_test(<name> <sources>...): a GoogleTest program for Windows, linked
# with the core and GoogleTest built from Debian's googletest sources; CTest runs each of its
# tests under Wine. For tests/windows/CMakeLists.txt.
function(pagelith_add_windows_test name)
  if(NOT TARGET gtest_main)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # GoogleTest's own sources are not held to the project's warning flags.
    target_compile_options(gtest PRIVATE -w)
    target_compile_options(gtest_main PRIVATE -w)
  endif()
  include(GoogleTest)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE pagelith gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    PAGELITH_TEST_OUTPUT_DIR="${CMAKE_BINARY_DIR}/test-output"
    PAGELITH_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120)
endfunction()

# Hook for Windows tests: tests/windows/CMakeLists.txt adds them (run under Wine by CTest).
if(EXISTS ${PROJECT_SOURCE_DIR}/tests/windows/CMakeLists.txt)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/windows ${CMAKE_BINARY_DIR}/tests/windows)
endif()
