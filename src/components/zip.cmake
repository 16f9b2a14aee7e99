# The zip archiver component and the loader of its engine library.
target_sources(core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ZLibLoad.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ZipArch.cpp
)
# Where an installed program finds its engine, relative to itself.
file(RELATIVE_PATH LW_ENGINE_LIBDIR ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR}/lanternwright)
set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/ZLibLoad.cpp TARGET_DIRECTORY core APPEND PROPERTY
  COMPILE_DEFINITIONS LW_ENGINE_LIBDIR="${LW_ENGINE_LIBDIR}")
# Building anything over core builds the engine it loads.
add_dependencies(core zipeng)
