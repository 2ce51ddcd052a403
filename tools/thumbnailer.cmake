# quor-thumbnailer: pictures of .3ds files for file managers, drawn offscreen with
# EGL (GLX on an X display as the fallback) and written with libpng; no Qt, so it
# starts fast. Installed with its thumbnailer entry, which file managers read from
# share/thumbnailers. Built only where the offscreen context (tools/common.cmake)
# and libpng are found.
include(GNUInstallDirs)
find_package(PNG QUIET)

if(TARGET quor_offscreengl AND PNG_FOUND)
    add_library(quor_viewfit STATIC thumbnailer/viewfit.cpp)
    target_include_directories(quor_viewfit PUBLIC ${CMAKE_SOURCE_DIR})

    add_executable(quor-thumbnailer thumbnailer/main.cpp thumbnailer/meshsink.cpp thumbnailer/render.cpp
        thumbnailer/thumbfile.cpp)
    target_link_libraries(quor-thumbnailer PRIVATE quor_viewfit quor_core quor_offscreengl PNG::PNG)
    target_compile_definitions(quor-thumbnailer PRIVATE QUOR_VERSION="${PROJECT_VERSION}")
    install(TARGETS quor-thumbnailer RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT thumbnailer)
    install(FILES ${CMAKE_SOURCE_DIR}/thumbnailer/quor.thumbnailer
        DESTINATION ${CMAKE_INSTALL_DATADIR}/thumbnailers COMPONENT thumbnailer)

    add_executable(quor_viewfit_tests tests/thumbnailer/test_viewfit.cpp)
    target_link_libraries(quor_viewfit_tests PRIVATE quor_viewfit GTest::gtest GTest::gtest_main)
    gtest_discover_tests(quor_viewfit_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS tools)

    # The installed program as a file manager runs it, with no X display.
    add_executable(quor_thumbnailer_testfiles tests/thumbnailer/testfiles.cpp tools/bench/bigmodel.cpp)
    target_link_libraries(quor_thumbnailer_testfiles PRIVATE quor_fuzz_corpus)
    add_dependencies(quor_thumbnailer_testfiles quor-thumbnailer)
    add_test(NAME thumbnailer.installed_entry
        COMMAND bash ${CMAKE_SOURCE_DIR}/tests/thumbnailer/check.sh ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR}
            ${CMAKE_COMMAND} $<TARGET_FILE:quor_thumbnailer_testfiles>)
    set_tests_properties(thumbnailer.installed_entry PROPERTIES LABELS tools)
else()
    message(STATUS "No offscreen context or no libpng: quor-thumbnailer is not built")
endif()
