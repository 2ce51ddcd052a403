# Transit search benchmark against the once-a-second reference. Not a test: run it
# by hand, build-dir/bench_transits [repeats].
if(QUOR_BENCH)
    add_executable(bench_transits tools/bench/bench_transits.cpp)
    target_link_libraries(bench_transits PRIVATE quor_core)
    target_compile_definitions(bench_transits PRIVATE QUOR_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endif()
