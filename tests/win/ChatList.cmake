# The chat list window and its user list under Wine; the resources give the template, icons and menus.
dravelon_win_test(win_chatlist_tests
    ${CMAKE_CURRENT_LIST_DIR}/ChatListDlgTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ContactListBoxTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ChatListShowcaseTest.cpp)
target_link_libraries(win_chatlist_tests PRIVATE winapp dravelon_res)

# Pictures for review: build/windows/screenshots/chatlist/*.png
add_test(NAME win.ChatListScreenshots
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/run_showcase_screenshots.py
                 $<TARGET_FILE:win_chatlist_tests> ${CMAKE_BINARY_DIR}/screenshots/chatlist "ChatListShowcase.*" -
                 chatlist_friends.png chatlist_everyone.png)
set_tests_properties(win.ChatListScreenshots PROPERTIES RESOURCE_LOCK wine_desktop TIMEOUT 180)

# The same at 100, 150 and 200 % display scaling: build/windows/screenshots/scaled/chatlist-150.png, ...
foreach(percent 100 150 200)
    math(EXPR dpi "96 * ${percent} / 100")
    add_test(NAME win.ChatListScreenshots.${percent}
             COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/run_showcase_screenshots.py --dpi=${dpi}
                     $<TARGET_FILE:win_chatlist_tests> ${CMAKE_BINARY_DIR}/screenshots/scaled "ChatListShowcase.*" -
                     chatlist-${percent}.png chatlist-everyone-${percent}.png)
    set_tests_properties(win.ChatListScreenshots.${percent} PROPERTIES RESOURCE_LOCK wine_desktop TIMEOUT 180)
endforeach()
