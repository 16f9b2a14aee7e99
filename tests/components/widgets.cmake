lw_gui_test(icons_test ${CMAKE_CURRENT_LIST_DIR}/IconsTest.cpp)
lw_core_test(folder_options_test ${CMAKE_CURRENT_LIST_DIR}/FolderOptionsTest.cpp)
