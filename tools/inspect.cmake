# quor-inspect: the viewer's reader and list compiler on the command line, no Qt.
include(GNUInstallDirs)

add_library(quor_inspect STATIC tools/inspect/inspect.cpp)
target_link_libraries(quor_inspect PUBLIC quor_core)

add_executable(quor-inspect tools/inspect/main.cpp)
target_link_libraries(quor-inspect PRIVATE quor_inspect)
install(TARGETS quor-inspect RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

add_test(NAME inspect.sample_station
    COMMAND ${CMAKE_COMMAND} -DINSPECT=$<TARGET_FILE:quor-inspect> -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
        -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR} -P ${CMAKE_SOURCE_DIR}/tools/inspect/check.cmake)
set_tests_properties(inspect.sample_station PROPERTIES LABELS tools)
