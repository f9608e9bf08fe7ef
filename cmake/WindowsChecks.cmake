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

# Hook for Windows tests: tests/windows/CMakeLists.txt adds them (run under Wine by CTest).
if(EXISTS ${PROJECT_SOURCE_DIR}/tests/windows/CMakeLists.txt)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/windows ${CMAKE_BINARY_DIR}/tests/windows)
endif()
