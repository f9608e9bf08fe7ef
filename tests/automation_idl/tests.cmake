# The drift test reads the member table directly; it needs no COM layer.
if(TARGET test_automation_idl)
  target_sources(test_automation_idl PRIVATE ${PROJECT_SOURCE_DIR}/src/automation/member_table.cpp
    ${PROJECT_SOURCE_DIR}/src/automation/member_reference.cpp)
endif()
