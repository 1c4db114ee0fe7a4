# The window loads its icon and glyphs from the running module, and needs the
# manifest (common controls 6, per-monitor DPI awareness): link the program's
# resources into the window tests too.
if(TARGET ui_tests)
  target_sources(ui_tests PRIVATE ${PROJECT_SOURCE_DIR}/src/app/Quorvane.rc)
  target_include_directories(ui_tests PRIVATE ${PROJECT_SOURCE_DIR}/src/app ${PROJECT_SOURCE_DIR}/src)
  # The editor tests start the command-line recorder of the platform tests,
  # which sits beside the test programs.
  if(TARGET qv_record_cmdline)
    add_dependencies(ui_tests qv_record_cmdline)
  endif()
endif()
