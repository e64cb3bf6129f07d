# Skinned dialog, skinned buttons and the resizable dialog, under Wine; the resources give the icons,
# bitmaps and menus the buttons load.
dravelon_win_test(win_skin_tests
    ${CMAKE_CURRENT_LIST_DIR}/SkinTestUtil.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SkinDialogTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SkinButtonTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/AnchorLayoutDlgTest.cpp)
target_link_libraries(win_skin_tests PRIVATE winui dravelon_res)
