# Reader benchmark against Debian's lib3ds (lib3ds-dev). Not a test: run it by hand,
# build-dir/bench_read [repeats].
if(QUOR_BENCH)
    find_path(LIB3DS_INCLUDE_DIR lib3ds/file.h)
    find_library(LIB3DS_LIBRARY NAMES 3ds)
    if(LIB3DS_INCLUDE_DIR AND LIB3DS_LIBRARY)
        add_executable(bench_read tools/bench/bench_read.cpp)
        target_include_directories(bench_read SYSTEM PRIVATE ${LIB3DS_INCLUDE_DIR})
        target_link_libraries(bench_read PRIVATE quor_core quor_3dswriter ${LIB3DS_LIBRARY})
    else()
        message(STATUS "lib3ds not found: bench_read is not built")
    endif()
endif()
