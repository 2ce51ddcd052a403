# Models for the picture benchmark (tools/bench/pictures), which times
# quor-thumbnailer and quor-inspect --render against f3d. Not a test and not
# installed: the script builds nothing and is run by hand.
if(QUOR_BENCH)
    add_executable(quor-benchmodels tools/bench/benchmodels.cpp)
    target_link_libraries(quor-benchmodels PRIVATE quor_bigmodel)
endif()
