# The conversation window under Wine with a stand-in for the main window: sending, the log file, the
# history, file items and the transfers against loopback servers in the test process.
dravelon_win_test(win_conversation_tests
    ${CMAKE_CURRENT_LIST_DIR}/MessageDlgTest.cpp)
target_link_libraries(win_conversation_tests PRIVATE winapp dravelon_res)
target_sources(win_conversation_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/ConversationShowcaseTest.cpp)

# Pictures for review: build/windows/screenshots/conversation/conversation.png and popup.png
add_test(NAME win.ConversationScreenshots
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/run_showcase_screenshots.py
                 $<TARGET_FILE:win_conversation_tests> ${CMAKE_BINARY_DIR}/screenshots/conversation
                 "ConversationShowcase.*" - conversation.png popup.png)
set_tests_properties(win.ConversationScreenshots PROPERTIES RESOURCE_LOCK wine_desktop TIMEOUT 180)

# The same at 100, 150 and 200 % display scaling (96, 144 and 192 dpi), for docs/screenshots:
# build/windows/screenshots/scaled/conversation-150.png, popup-150.png, ...
foreach(percent 100 150 200)
    math(EXPR dpi "96 * ${percent} / 100")
    add_test(NAME win.ConversationScreenshots.${percent}
             COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/run_showcase_screenshots.py --dpi=${dpi}
                     $<TARGET_FILE:win_conversation_tests> ${CMAKE_BINARY_DIR}/screenshots/scaled
                     "ConversationShowcase.*" - conversation-${percent}.png popup-${percent}.png)
    set_tests_properties(win.ConversationScreenshots.${percent} PROPERTIES RESOURCE_LOCK wine_desktop TIMEOUT 180)
endforeach()
