lw_gui_test(icons_test ${CMAKE_CURRENT_LIST_DIR}/IconsTest.cpp)
lw_core_test(folder_options_test ${CMAKE_CURRENT_LIST_DIR}/FolderOptionsTest.cpp)
lw_gui_test(folder_dialog_test ${CMAKE_CURRENT_LIST_DIR}/FoldrDlgTest.cpp)
lw_gui_test(hint_edit_test ${CMAKE_CURRENT_LIST_DIR}/HintctrlTest.cpp)
