lw_gui_test(app_gui_tests MainFormTest.cpp)
lw_gui_test(app_failure_tests FailureMatrixTest.cpp)
lw_gui_test(app_application_tests ApplicationTest.cpp)
lw_gui_test(zip_dlg_tests ZipDlgTest.cpp)
