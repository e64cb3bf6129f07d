# Single instance per log-on and self-restart: named objects, the listener thread and its teardown.
dravelon_win_test(win_instance_tests InstanceGuardTest.cpp SharedCommandLineTest.cpp RestartLockTest.cpp)
target_link_libraries(win_instance_tests PRIVATE winapp)
