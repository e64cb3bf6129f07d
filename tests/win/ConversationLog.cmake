# The conversation log file on the real Windows file system: wide Korean paths, the move of the older
# name, CR LF line ends and sharing with other writers.
dravelon_win_test(win_conversation_log_tests ${CMAKE_CURRENT_LIST_DIR}/ConversationLogTest.cpp)
target_link_libraries(win_conversation_log_tests PRIVATE core winbase)
