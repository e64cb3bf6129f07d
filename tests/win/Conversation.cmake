# The conversation window under Wine with a stand-in for the main window: sending, the log file, the
# history, file items and the transfers against loopback servers in the test process.
dravelon_win_test(win_conversation_tests
    ${CMAKE_CURRENT_LIST_DIR}/SkinTestUtil.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MessageDlgTest.cpp)
target_link_libraries(win_conversation_tests PRIVATE winapp dravelon_res)
target_sources(win_conversation_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/ConversationShowcaseTest.cpp)

# A picture for review: build/windows/screenshots/conversation/conversation.png
add_test(NAME win.ConversationScreenshots
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/run_showcase_screenshots.py
                 $<TARGET_FILE:win_conversation_tests> ${CMAKE_BINARY_DIR}/screenshots/conversation
                 "ConversationShowcase.*" - conversation.png)
set_tests_properties(win.ConversationScreenshots PROPERTIES RESOURCE_LOCK wine_desktop TIMEOUT 180)
