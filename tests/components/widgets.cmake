lw_gui_test(icons_test ${CMAKE_CURRENT_LIST_DIR}/IconsTest.cpp)
