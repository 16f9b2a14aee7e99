# Tests of the zip engine, its loader and the archiver component.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LW_TEST_LIBZIP REQUIRED IMPORTED_TARGET libzip)

# Stand-in engines, each in its own folder under the name the loader wants.
set(LW_FAKE_ENGINES)
foreach(version 152 160 180 301)
  add_library(fakezipeng${version} SHARED ${CMAKE_CURRENT_LIST_DIR}/FakeZipEngine.cpp)
  target_compile_definitions(fakezipeng${version} PRIVATE FAKE_VERSION=${version})
  target_include_directories(fakezipeng${version} PRIVATE ${PROJECT_SOURCE_DIR}/engine/include)
  set_target_properties(fakezipeng${version} PROPERTIES
    OUTPUT_NAME zipeng
    CXX_VISIBILITY_PRESET hidden
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/fakeeng/v${version})
  list(APPEND LW_FAKE_ENGINES fakezipeng${version})
endforeach()

lw_core_test(ZipLoaderTest ${CMAKE_CURRENT_LIST_DIR}/ZipLoaderTest.cpp)
add_dependencies(ZipLoaderTest ${LW_FAKE_ENGINES})

lw_core_test(ZipArchTest ${CMAKE_CURRENT_LIST_DIR}/ZipArchTest.cpp ${CMAKE_CURRENT_LIST_DIR}/ZipTestSupport.cpp)
target_link_libraries(ZipArchTest PRIVATE PkgConfig::LW_TEST_LIBZIP)
add_dependencies(ZipArchTest ${LW_FAKE_ENGINES})

lw_core_test(ZipIntegrationTest ${CMAKE_CURRENT_LIST_DIR}/ZipIntegrationTest.cpp ${CMAKE_CURRENT_LIST_DIR}/ZipTestSupport.cpp)
target_link_libraries(ZipIntegrationTest PRIVATE PkgConfig::LW_TEST_LIBZIP)
