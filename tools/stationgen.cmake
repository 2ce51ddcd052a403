# The sample station: its generator, and a check that data/station.3ds is exactly
# what the generator makes today.
add_executable(quor-stationgen tools/stationgen/stationgen.cpp)
target_link_libraries(quor-stationgen PRIVATE quor_3dswriter)
# Fused multiply-adds (on CPUs that have them) would change the last bits of
# the geometry and so the bytes of the file.
target_compile_options(quor-stationgen PRIVATE -ffp-contract=off)

add_test(NAME stationgen.matches_committed_file
    COMMAND ${CMAKE_COMMAND}
        -DGENERATOR=$<TARGET_FILE:quor-stationgen>
        -DOUTPUT=${CMAKE_CURRENT_BINARY_DIR}/station.3ds
        -DEXPECTED=${CMAKE_SOURCE_DIR}/data/station.3ds
        -P ${CMAKE_SOURCE_DIR}/tools/stationgen/compare.cmake)
set_tests_properties(stationgen.matches_committed_file PROPERTIES LABELS tools)

# Rewrites data/station.3ds after a deliberate change to the generator.
add_custom_target(station-data
    COMMAND quor-stationgen ${CMAKE_SOURCE_DIR}/data/station.3ds
    COMMENT "Regenerating data/station.3ds")
