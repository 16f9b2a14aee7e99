# The game type dialog and the info file template.
target_sources(core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/InfoTemplate.cpp
)
target_sources(gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/GameTypeDlg.cpp
)
