# The string table's texts as the program loads them; the resources give the table.
dravelon_win_test(win_string_table_tests ${CMAKE_CURRENT_LIST_DIR}/StringTableTest.cpp)
target_link_libraries(win_string_table_tests PRIVATE winapp dravelon_res)
