# The conversation window under Wine with a stand-in for the main window: sending, the log file, the
# history, file items and the transfers against loopback servers in the test process.
dravelon_win_test(win_conversation_tests
    ${CMAKE_CURRENT_LIST_DIR}/SkinTestUtil.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MessageDlgTest.cpp)
target_link_libraries(win_conversation_tests PRIVATE winapp dravelon_res)
