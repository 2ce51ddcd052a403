# quor-inspect: the viewer's reader and list compiler on the command line, no Qt.
include(GNUInstallDirs)

add_library(quor_inspect STATIC tools/modelreport/report.cpp tools/modelreport/orbitreport.cpp)
target_link_libraries(quor_inspect PUBLIC quor_core)

add_executable(quor-inspect tools/modelreport/main.cpp)
target_link_libraries(quor-inspect PRIVATE quor_inspect)
target_compile_definitions(quor-inspect PRIVATE QUOR_VERSION="${PROJECT_VERSION}")
if(QUOR_GUI AND TARGET quor_offscreengl)
    # --render draws with the viewer's own renderer on an offscreen context of its
    # own (no display needed); Qt is loaded only when asked to.
    target_sources(quor-inspect PRIVATE tools/modelreport/render.cpp)
    target_compile_definitions(quor-inspect PRIVATE QUOR_INSPECT_RENDER)
    target_link_libraries(quor-inspect PRIVATE quor_gui quor_offscreengl)
    # Only the libraries the renderer uses are loaded: a picture is one short process.
    target_link_options(quor-inspect PRIVATE -Wl,--as-needed)
endif()
install(TARGETS quor-inspect RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

add_test(NAME inspect.sample_station
    COMMAND ${CMAKE_COMMAND} -DINSPECT=$<TARGET_FILE:quor-inspect> -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
        -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR} -P ${CMAKE_SOURCE_DIR}/tools/modelreport/check.cmake)
set_tests_properties(inspect.sample_station PROPERTIES LABELS tools)

add_executable(quor_inspect_tests tools/modelreport/test_report.cpp tools/modelreport/test_orbit.cpp)
target_link_libraries(quor_inspect_tests PRIVATE quor_inspect quor_3dswriter GTest::gtest GTest::gtest_main)
# The --orbit tests run the program itself, on the reference element sets.
target_compile_definitions(quor_inspect_tests PRIVATE
    QUOR_SOURCE_DIR="${CMAKE_SOURCE_DIR}" QUOR_INSPECT="$<TARGET_FILE:quor-inspect>")
add_dependencies(quor_inspect_tests quor-inspect)
gtest_discover_tests(quor_inspect_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS tools)
if(QUOR_GUI AND TARGET quor_offscreengl)
    target_sources(quor_inspect_tests PRIVATE tools/modelreport/test_render.cpp)
endif()
# The viewer's rendering tests compare its pictures with those of a whole quor-inspect.
if(TARGET quor_gui_tests AND QUOR_GUI AND TARGET quor_offscreengl)
    target_compile_definitions(quor_gui_tests PRIVATE QUOR_INSPECT="$<TARGET_FILE:quor-inspect>")
    add_dependencies(quor_gui_tests quor-inspect)
endif()
