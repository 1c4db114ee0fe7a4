# The command-line front end, run for real under Wine by shell scripts.
foreach(script search_cli_test replace_cli_test)
  if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/${script}.sh)
    add_test(NAME cli_${script} COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/${script}.sh $<TARGET_FILE:quorvane-cli>)
    set_tests_properties(cli_${script} PROPERTIES TIMEOUT 600)
  endif()
endforeach()
