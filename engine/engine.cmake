# libzipeng.so: the zip engine the archiver component loads at run time.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
pkg_check_modules(LIBDEFLATE REQUIRED IMPORTED_TARGET libdeflate)
find_package(ZLIB REQUIRED)
find_package(Threads REQUIRED)

add_library(zipeng SHARED
  ${CMAKE_CURRENT_LIST_DIR}/EngineMain.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Pipeline.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Deflater.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SpecScan.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ZipWriter.cpp
  # The engine resolves listed paths exactly as the rest of the program does.
  ${PROJECT_SOURCE_DIR}/src/components/PathResolver.cpp
  ${PROJECT_SOURCE_DIR}/src/components/StrUtils.cpp
  ${PROJECT_SOURCE_DIR}/src/components/FileIO.cpp
  ${PROJECT_SOURCE_DIR}/src/components/Errors.cpp
)
target_include_directories(zipeng PRIVATE ${CMAKE_CURRENT_LIST_DIR}/include ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(zipeng PRIVATE PkgConfig::LIBZIP PkgConfig::LIBDEFLATE ZLIB::ZLIB Threads::Threads)
set_target_properties(zipeng PROPERTIES
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON)
# Installed in a private directory; the loader looks there from the program.
install(TARGETS zipeng LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/lanternwright)
