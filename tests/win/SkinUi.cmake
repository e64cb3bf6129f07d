# Skinned dialog, skinned buttons and the resizable dialog, under Wine; the resources give the icons,
# bitmaps and menus the buttons load.
dravelon_win_test(win_skin_tests
    ${CMAKE_CURRENT_LIST_DIR}/SkinDialogTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SkinButtonTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/AnchorLayoutDlgTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SkinShowcaseTest.cpp)
target_link_libraries(win_skin_tests PRIVATE winui dravelon_res)

# Pictures for review: build/windows/screenshots/skin/*.png
add_test(NAME win.SkinScreenshots
         COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/run_showcase_screenshots.py $<TARGET_FILE:win_skin_tests>
                 ${CMAKE_BINARY_DIR}/screenshots/skin "SkinShowcase.*" 1030x400
                 skin_dialog_colour_key.png skin_buttons_states.png)
set_tests_properties(win.SkinScreenshots PROPERTIES RESOURCE_LOCK wine_desktop TIMEOUT 180)
