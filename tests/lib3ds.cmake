# Differential test of the .3ds reader against Debian's lib3ds (lib3ds-dev).
find_path(LIB3DS_INCLUDE_DIR lib3ds/file.h)
find_library(LIB3DS_LIBRARY NAMES 3ds)
if(LIB3DS_INCLUDE_DIR AND LIB3DS_LIBRARY)
    add_executable(quor_lib3ds_tests tests/lib3ds/test_lib3ds_diff.cpp)
    target_include_directories(quor_lib3ds_tests SYSTEM PRIVATE ${LIB3DS_INCLUDE_DIR})
    target_link_libraries(quor_lib3ds_tests PRIVATE quor_core quor_3dswriter ${LIB3DS_LIBRARY}
        GTest::gtest GTest::gtest_main)
    gtest_discover_tests(quor_lib3ds_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS core)
else()
    message(STATUS "lib3ds not found: the reader's differential test is not built")
endif()
