# The reader's seed corpus (shared by the fuzzer's corpus writer and the viewer's
# malformed-input tests), the libFuzzer targets for the 3DS reader and the model
# compiler, for the orbital elements parser and for the observer's place with the
# pass finder (clang only), and the program that writes the reader's corpus. The
# text targets' seeds are files in tests/fuzz/elements-seeds and passes-seeds.
# scripts/fuzz builds and runs them.
add_library(quor_fuzz_corpus STATIC tests/fuzz/corpus.cpp)
target_include_directories(quor_fuzz_corpus PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(quor_fuzz_corpus PUBLIC quor_3dswriter)
target_link_libraries(quor_core_tests PRIVATE quor_fuzz_corpus) # the hostile files
if(TARGET quor_gui_tests)
    target_link_libraries(quor_gui_tests PRIVATE quor_fuzz_corpus)
endif()

if(QUOR_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    # The core again, with coverage instrumentation so the fuzzer sees inside it.
    add_library(quor_core_fuzz STATIC ${QUOR_CORE_SOURCES})
    target_include_directories(quor_core_fuzz PUBLIC ${CMAKE_SOURCE_DIR})
    target_compile_options(quor_core_fuzz PRIVATE -fsanitize=fuzzer-no-link -ffp-contract=off)

    add_executable(fuzz_read3ds tests/fuzz/fuzz_read3ds.cpp)
    target_compile_options(fuzz_read3ds PRIVATE -fsanitize=fuzzer)
    target_link_options(fuzz_read3ds PRIVATE -fsanitize=fuzzer)
    target_link_libraries(fuzz_read3ds PRIVATE quor_core_fuzz)

    add_executable(fuzz_elements tests/fuzz/fuzz_elements.cpp)
    target_compile_options(fuzz_elements PRIVATE -fsanitize=fuzzer)
    target_link_options(fuzz_elements PRIVATE -fsanitize=fuzzer)
    target_link_libraries(fuzz_elements PRIVATE quor_core_fuzz)

    add_executable(fuzz_passes tests/fuzz/fuzz_passes.cpp)
    target_compile_options(fuzz_passes PRIVATE -fsanitize=fuzzer)
    target_link_options(fuzz_passes PRIVATE -fsanitize=fuzzer)
    target_link_libraries(fuzz_passes PRIVATE quor_core_fuzz)

    add_executable(make_read3ds_corpus tests/fuzz/make_corpus.cpp)
    target_link_libraries(make_read3ds_corpus PRIVATE quor_fuzz_corpus)
endif()
