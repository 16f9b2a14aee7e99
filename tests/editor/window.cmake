lw_gui_test(editor_window_tests EditorTest.cpp)
