# The Python module's tests (pytest), run against this build's server library.
if(TARGET pagelithasp)
  set(pagelith_py_env "PYTHONPATH=${CMAKE_BINARY_DIR}/python" "PYTHONDONTWRITEBYTECODE=1")
  if(PAGELITH_SANITIZE)
    # An uninstrumented interpreter can only load the sanitized library with the runtime preloaded, and
    # the runtime finds the C++ exception functions it wraps only when libstdc++ is there from the start.
    # The interpreter's own allocations would count as leaks.
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
                    OUTPUT_VARIABLE pagelith_asan_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++.so
                    OUTPUT_VARIABLE pagelith_cxx_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(pagelith_cxx_runtime ${pagelith_cxx_runtime} REALPATH)
    list(APPEND pagelith_py_env "LD_PRELOAD=${pagelith_asan_runtime}:${pagelith_cxx_runtime}"
         "ASAN_OPTIONS=detect_leaks=0:abort_on_error=0"
         "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  endif()
  add_test(NAME python_tests
           COMMAND /usr/bin/python3 -m pytest -q -rs -p no:cacheprovider ${CMAKE_CURRENT_LIST_DIR})
  set_tests_properties(python_tests PROPERTIES ENVIRONMENT "${pagelith_py_env}" TIMEOUT 900)
endif()

# Installs this build into a temporary prefix and into a temporary virtual environment (through pip
# and the in-tree build backend), then runs a sample from an unrelated directory with each.
if(TARGET pagelithasp)
  add_test(NAME install_and_import
           COMMAND ${CMAKE_CURRENT_LIST_DIR}/install_test.sh ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR})
  set_tests_properties(install_and_import PROPERTIES ENVIRONMENT "${pagelith_py_env}" TIMEOUT 600)
endif()
