# A small program that records the command line it was started with; the shell
# tests start it through RunCommandLine. It sits beside platform_tests.exe.
add_executable(qv_record_cmdline ${CMAKE_CURRENT_SOURCE_DIR}/platform/helper/RecordCommandLine.cpp)
target_link_libraries(qv_record_cmdline PRIVATE qv_warnings)
target_include_directories(qv_record_cmdline PRIVATE ${PROJECT_SOURCE_DIR}/src)
add_dependencies(platform_tests qv_record_cmdline)
