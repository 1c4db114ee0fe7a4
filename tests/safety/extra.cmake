# Data safety of the real quorvane-cli under Wine, checked from the outside: runs
# killed at random moments, files other programs hold or append to, two runs at
# once, folder links. Python drivers (standard library only) start the program
# and small helper programs that play the other programs; they share one Wine
# server with it, so share modes hold between them.
foreach(helper HoldFile AppendLines KillAfter)
  string(TOLOWER ${helper} lower)
  add_executable(qv_safety_${lower} ${CMAKE_CURRENT_LIST_DIR}/helpers/${helper}.cpp)
  target_link_libraries(qv_safety_${lower} PRIVATE qv_warnings)
  target_include_directories(qv_safety_${lower} PRIVATE ${PROJECT_SOURCE_DIR}/src)
endforeach()
# Asks the system the way Apply's swap goes, with the program's own call.
add_executable(qv_safety_swappath ${CMAKE_CURRENT_LIST_DIR}/helpers/SwapPath.cpp
                                  ${PROJECT_SOURCE_DIR}/src/files/FileSystemCalls.cpp)
target_link_libraries(qv_safety_swappath PRIVATE qv_warnings ntdll)
target_include_directories(qv_safety_swappath PRIVATE ${PROJECT_SOURCE_DIR}/src)

if(CMAKE_HOST_UNIX AND TARGET quorvane-cli)
  set(qv_safety_env
      "QV_CLI=$<TARGET_FILE:quorvane-cli>"
      "QV_HOLD_FILE=$<TARGET_FILE:qv_safety_holdfile>"
      "QV_APPEND_LINES=$<TARGET_FILE:qv_safety_appendlines>"
      "QV_KILL_AFTER=$<TARGET_FILE:qv_safety_killafter>"
      "QV_SWAP_PATH=$<TARGET_FILE:qv_safety_swappath>"
      "QV_WINE_EXEC=${PROJECT_SOURCE_DIR}/scripts/wine-exec")
  foreach(case kill in_use appender two_runs links undo_kill undo_lock)
    add_test(NAME safety_${case} COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/${case}_test.py)
    set_tests_properties(safety_${case} PROPERTIES TIMEOUT 900 ENVIRONMENT "${qv_safety_env}")
  endforeach()
endif()
