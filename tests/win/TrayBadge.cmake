# The tray icon's count badge and quiet sign and the taskbar button's overlay, drawn under Wine; the
# resources give the program's icon.
dravelon_win_test(win_badge_tests
    ${CMAKE_CURRENT_LIST_DIR}/BadgeIconTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BadgeIconShowcaseTest.cpp)
target_link_libraries(win_badge_tests PRIVATE winui dravelon_res)

# The tray icon with and without waiting messages and quiet, at 100 and 200 % display scaling, for review:
# build/windows/screenshots/scaled/tray-badge-100.png and tray-badge-200.png
foreach(percent 100 200)
    math(EXPR dpi "96 * ${percent} / 100")
    add_test(NAME win.TrayBadgeScreenshots.${percent}
             COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/run_showcase_screenshots.py --dpi=${dpi}
                     $<TARGET_FILE:win_badge_tests> ${CMAKE_BINARY_DIR}/screenshots/scaled "TrayBadgeShowcase.*" -
                     tray-badge-${percent}.png)
    set_tests_properties(win.TrayBadgeScreenshots.${percent} PROPERTIES RESOURCE_LOCK wine_desktop TIMEOUT 180)
endforeach()
