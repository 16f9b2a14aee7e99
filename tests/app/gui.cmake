lw_gui_test(app_gui_tests MainFormTest.cpp)
