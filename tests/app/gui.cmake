lw_gui_test(app_gui_tests MainFormTest.cpp)
lw_gui_test(zip_dlg_tests ZipDlgTest.cpp)
