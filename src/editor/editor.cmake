# RTF reading and writing, the document model and plain text: no Qt.
target_sources(core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CodePages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CodePageTables.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RichDocument.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RtfReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RtfWriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InfoConvert.cpp
)

# The rich text control and its embedded pictures, on Qt widgets.
target_sources(gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/RichTextMapping.h
  ${CMAKE_CURRENT_LIST_DIR}/RichTextMapping.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RichEdit2.h
  ${CMAKE_CURRENT_LIST_DIR}/RichEdit2.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OLERichEdit.h
  ${CMAKE_CURRENT_LIST_DIR}/OLERichEdit.cpp
)
