# The real program, started as a user would: e2e_tests.exe runs copies of
# Quorvane.exe in fresh folders (each with its own settings file) under the same
# Wine server and display, and reads their windows and settings files.
if(TARGET Quorvane)
  set(e2e_sources ProgramSupport.cpp ProgramTests.cpp SearchApplyProgramTests.cpp)
  qv_check_listed(e2e ${e2e_sources})
  list(TRANSFORM e2e_sources PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
  add_executable(e2e_tests ${e2e_sources})
  target_link_libraries(e2e_tests PRIVATE qv_testsupport qv_warnings)
  target_compile_definitions(e2e_tests PRIVATE "QV_PROGRAM=\"$<TARGET_FILE:Quorvane>\"")
  add_dependencies(e2e_tests Quorvane)
  add_test(NAME e2e COMMAND e2e_tests)
  set_tests_properties(e2e PROPERTIES TIMEOUT 600)
endif()
