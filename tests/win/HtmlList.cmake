# The HTML renderer and list control drawn into memory bitmaps; the list test also writes
# html_list.png into its working folder for review, and times adding and repainting.
dravelon_win_test(win_html_tests HtmlDrawTextTest.cpp HTMLListCtrlTest.cpp HtmlListPerfTest.cpp)
target_link_libraries(win_html_tests PRIVATE winui dravelon_res)
