# The command-line front end, run for real under Wine by shell scripts. The
# data-safety tests' helper holds a file open the way another program would.
foreach(script search_cli_test replace_cli_test stop_cli_test undo_cli_test todays_files_cli_test
               lines_cli_test regex_cli_test exclude_cli_test targets_cli_test pairs_cli_test)
  if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/${script}.sh)
    add_test(NAME cli_${script}
             COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/${script}.sh $<TARGET_FILE:quorvane-cli> $<TARGET_FILE:qv_safety_holdfile>)
    set_tests_properties(cli_${script} PROPERTIES TIMEOUT 600 ENVIRONMENT "QV_VERSION=${PROJECT_VERSION}")
  endif()
endforeach()
# The front end's own routines, tested in-process against the shipped library
# (the JSON library serves as the reference for the JSON strings).
if(TARGET cli_tests)
  target_link_libraries(cli_tests PRIVATE qv_cli qv_third_party)
endif()
# The release archive, packed from this build and run from where it is unpacked
# (skipped when this is not a Release build).
add_test(NAME cli_package COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/package_test.sh ${PROJECT_BINARY_DIR} ${PROJECT_VERSION})
set_tests_properties(cli_package PROPERTIES TIMEOUT 900 SKIP_RETURN_CODE 77)
# The third-party notices name every archive the two programs are linked from.
if(TARGET Quorvane)
  add_test(NAME cli_notices COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/notices_test.sh
           ${PROJECT_SOURCE_DIR}/THIRD-PARTY-NOTICES.txt $<TARGET_FILE:quorvane-cli>.map $<TARGET_FILE:Quorvane>.map)
endif()
