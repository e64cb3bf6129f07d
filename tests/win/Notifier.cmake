# The pop-up notifier and the tray dialog on real windows, with the program's skins, icons and tray menu.
dravelon_win_test(win_notifier_tests TaskbarNotifierTest.cpp TrayIconDialogTest.cpp)
target_link_libraries(win_notifier_tests PRIVATE winui dravelon_res)
