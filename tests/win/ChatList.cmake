# The chat list window and its user list under Wine; the resources give the template, icons and menus.
dravelon_win_test(win_chatlist_tests
    ${CMAKE_CURRENT_LIST_DIR}/SkinTestUtil.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ChatListTest.cpp)
target_link_libraries(win_chatlist_tests PRIVATE winapp dravelon_res)
