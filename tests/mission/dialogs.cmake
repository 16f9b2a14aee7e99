lw_core_test(info_template_test ${CMAKE_CURRENT_LIST_DIR}/InfoTemplateTest.cpp)
