lw_core_test(rtf_core_tests
  ${CMAKE_CURRENT_LIST_DIR}/RtfReaderTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RtfWriterTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InfoConvertTest.cpp
)
lw_gui_test(rich_edit_tests ${CMAKE_CURRENT_LIST_DIR}/RichEdit2Test.cpp)
lw_gui_test(ole_edit_tests ${CMAKE_CURRENT_LIST_DIR}/OLERichEditTest.cpp)
