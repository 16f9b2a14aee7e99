lw_core_test(info_template_test ${CMAKE_CURRENT_LIST_DIR}/InfoTemplateTest.cpp)
lw_gui_test(game_type_dialog_test ${CMAKE_CURRENT_LIST_DIR}/GameTypeDlgTest.cpp)
