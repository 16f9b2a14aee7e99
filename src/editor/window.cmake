# The editor window.
target_sources(gui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Editor.cpp)
