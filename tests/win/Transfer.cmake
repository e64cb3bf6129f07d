# The file transfer window with its worker against a loopback server inside the test process.
dravelon_win_test(win_transfer_tests FileTransferDlgTest.cpp)
target_link_libraries(win_transfer_tests PRIVATE winapp dravelon_res)
