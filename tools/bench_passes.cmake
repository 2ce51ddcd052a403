# Pass finder benchmark against Skyfield's find_events (python3-skyfield). Not a
# test: run it by hand, build-dir/bench_passes [repeats].
if(QUOR_BENCH)
    add_executable(bench_passes tools/bench/bench_passes.cpp)
    target_link_libraries(bench_passes PRIVATE quor_core)
    target_compile_definitions(bench_passes PRIVATE QUOR_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endif()
