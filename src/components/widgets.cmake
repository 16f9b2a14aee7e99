# The icons, the hinting edit and the folder chooser.
target_sources(gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Icons.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FoldrDlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Hintctrl.cpp
  ${PROJECT_SOURCE_DIR}/data/icons/icons.qrc
)
target_sources(core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/FolderOptions.cpp
)
