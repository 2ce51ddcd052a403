# Reader benchmark against Debian's lib3ds (lib3ds-dev). Not a test: run it by hand,
# build-dir/bench_read [repeats].
if(QUOR_BENCH)
    add_library(quor_bigmodel STATIC tools/bench/bigmodel.cpp)
    target_link_libraries(quor_bigmodel PUBLIC quor_3dswriter)
    find_path(LIB3DS_INCLUDE_DIR lib3ds/file.h)
    find_library(LIB3DS_LIBRARY NAMES 3ds)
    if(LIB3DS_INCLUDE_DIR AND LIB3DS_LIBRARY)
        add_executable(bench_read tools/bench/bench_read.cpp)
        target_include_directories(bench_read SYSTEM PRIVATE ${LIB3DS_INCLUDE_DIR})
        target_link_libraries(bench_read PRIVATE quor_core quor_bigmodel ${LIB3DS_LIBRARY})
        # It also runs quor-inspect beside a lib3ds read, as whole processes.
        target_compile_definitions(bench_read PRIVATE QUOR_INSPECT="$<TARGET_FILE:quor-inspect>")
        add_dependencies(bench_read quor-inspect)
    else()
        message(STATUS "lib3ds not found: bench_read is not built")
    endif()
endif()
