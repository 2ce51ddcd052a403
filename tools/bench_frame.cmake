# Frame-time benchmark, offscreen. Not a test: run it by hand in a directory that
# holds Weltkart.bmp, with an X display: build-dir/bench_frame [frames].
if(QUOR_BENCH AND QUOR_GUI)
    add_executable(bench_frame tools/bench/bench_frame.cpp)
    target_link_libraries(bench_frame PRIVATE quor_gui quor_bigmodel)
    target_compile_definitions(bench_frame PRIVATE QUOR_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endif()
