# The hosted pages' customisation and the script object, called directly as the browser would; the
# resources give the portal menu.
dravelon_win_test(win_script_tests
    ${CMAKE_CURRENT_LIST_DIR}/ScriptExternalTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CustomControlSiteTest.cpp)
target_link_libraries(win_script_tests PRIVATE winapp dravelon_res)
