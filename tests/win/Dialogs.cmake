# The login dialog, connecting notice, bulk note and the browser host under Wine; the resources give the
# templates, the skin bitmap and the icon.
dravelon_win_test(win_dialog_tests
    ${CMAKE_CURRENT_LIST_DIR}/LoginDlgTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BulkNoteDlgTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BrowserHostTest.cpp)
target_link_libraries(win_dialog_tests PRIVATE winapp dravelon_res)
