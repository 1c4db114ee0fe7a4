# Wine cannot make folder links (CreateSymbolicLinkW does nothing, junctions are
# refused), so the run builds a tree with link cycles on the host and tells the
# files test where it is.
if(CMAKE_HOST_UNIX)
  set(qv_link_tree ${CMAKE_CURRENT_BINARY_DIR}/files-link-tree)
  add_test(NAME files_link_tree
           COMMAND sh -c "rm -rf '${qv_link_tree}' && mkdir -p '${qv_link_tree}/A/B' '${qv_link_tree}/P' '${qv_link_tree}/R' && echo a > '${qv_link_tree}/A/f.txt' && echo b > '${qv_link_tree}/A/B/b.txt' && echo p > '${qv_link_tree}/P/p.txt' && echo r > '${qv_link_tree}/R/r.txt' && ln -s f.txt '${qv_link_tree}/A/f.link' && ln -s .. '${qv_link_tree}/A/B/Up' && ln -s A '${qv_link_tree}/Side' && ln -s ../R '${qv_link_tree}/P/Q' && ln -s ../P '${qv_link_tree}/R/S'")
  set_tests_properties(files_link_tree PROPERTIES FIXTURES_SETUP files_link_tree)
  set_tests_properties(files PROPERTIES FIXTURES_REQUIRED files_link_tree
                       ENVIRONMENT "QV_LINK_CYCLE_DIR=${qv_link_tree}")
endif()

# The order of a run's files follows the user's locale, which Wine takes from
# LC_ALL when a process starts: the locale tests run once per locale.
foreach(qv_locale en-US sv-SE tr-TR)
  string(REPLACE "-" "_" qv_unix_locale ${qv_locale})
  add_test(NAME files_sort_${qv_locale} COMMAND files_tests --gtest_filter=FileSortOrderInLocale.*)
  set_tests_properties(files_sort_${qv_locale} PROPERTIES TIMEOUT 900
                       ENVIRONMENT "LC_ALL=${qv_unix_locale}.UTF-8;QV_SORT_LOCALE=${qv_locale}")
endforeach()
