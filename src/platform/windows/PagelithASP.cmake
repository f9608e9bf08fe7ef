# The in-process server, PagelithASP.dll (Windows builds only, included from src/automation): the
# automation objects (with the entry points) and the type library as TYPELIB resource 1.
# Linked statically, so it imports nothing but the system's own DLLs.
find_program(PAGELITH_WIDL NAMES widl REQUIRED)
# stdole2.tlb, which the library block imports, as Wine ships it (its definitions serve both pointer
# sizes); the type library itself is built for the DLL's own pointer size.
set(PAGELITH_STDOLE_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows CACHE PATH "Folder holding stdole2.tlb")
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(pagelith_widl_bits -m32)
else()
  set(pagelith_widl_bits -m64)
endif()
enable_language(RC)

set(pagelith_asp_dir ${CMAKE_CURRENT_LIST_DIR})
set(PAGELITH_TLB ${CMAKE_BINARY_DIR}/PagelithASP.tlb)
add_custom_command(OUTPUT ${PAGELITH_TLB}
  COMMAND ${PAGELITH_WIDL} ${pagelith_widl_bits} -t -I ${pagelith_asp_dir} -L ${PAGELITH_STDOLE_DIR}
          -DPAGELITH_VERSION=${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}
          -o ${PAGELITH_TLB} ${pagelith_asp_dir}/PagelithASP.idl
  DEPENDS ${pagelith_asp_dir}/PagelithASP.idl ${pagelith_asp_dir}/pagelith_base.idl
          ${PROJECT_SOURCE_DIR}/src/base/version.h
  COMMENT "Compiling the type library PagelithASP.tlb"
  VERBATIM)
add_custom_target(pagelith_asp_tlb DEPENDS ${PAGELITH_TLB})

configure_file(${pagelith_asp_dir}/PagelithASP.rc.in ${CMAKE_CURRENT_BINARY_DIR}/PagelithASP.rc @ONLY)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/PagelithASP.rc PROPERTIES OBJECT_DEPENDS ${PAGELITH_TLB})

add_library(PagelithASP SHARED
  $<TARGET_OBJECTS:pagelith_automation_objects>
  ${pagelith_asp_dir}/PagelithASP.def
  ${CMAKE_CURRENT_BINARY_DIR}/PagelithASP.rc)
add_dependencies(PagelithASP pagelith_asp_tlb)
target_link_libraries(PagelithASP PRIVATE pagelith_platform pagelith
  ole32 oleaut32 uuid advapi32)
set_target_properties(PagelithASP PROPERTIES
  PREFIX ""
  OUTPUT_NAME PagelithASP
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # x86 decorates the stdcall entry points (DllGetClassObject@12); the .def names them undecorated.
  target_link_options(PagelithASP PRIVATE -Wl,--enable-stdcall-fixup)
endif()
add_custom_command(TARGET PagelithASP POST_BUILD
  COMMAND ${PROJECT_SOURCE_DIR}/cmake/scripts/check-imports.sh $<TARGET_FILE:PagelithASP>
  VERBATIM)
