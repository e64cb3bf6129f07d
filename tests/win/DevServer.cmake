# The Windows build of the development server under Wine: started on free ports, two clients over
# Winsock, a relayed message, the history after a restart, the pages, and a damaged store file.
dravelon_win_test(win_devserver_tests DevServerTest.cpp)
target_link_libraries(win_devserver_tests PRIVATE core ws2_32)
target_compile_definitions(win_devserver_tests PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
add_dependencies(win_devserver_tests devserver)
