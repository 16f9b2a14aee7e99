lw_core_test(rtf_core_tests
  ${CMAKE_CURRENT_LIST_DIR}/RtfReaderTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RtfWriterTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InfoConvertTest.cpp
)
