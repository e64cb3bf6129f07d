# The portal page window and the browser pop-ups under Wine, alone and as the main window keeps them;
# the resources give the templates and the icon.
dravelon_win_test(win_portal_tests ${CMAKE_CURRENT_LIST_DIR}/PortalWindowsTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SessionWindowsTest.cpp)
target_link_libraries(win_portal_tests PRIVATE winapp dravelon_res)
