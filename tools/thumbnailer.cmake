# quor-thumbnailer: pictures of .3ds files for file managers, drawn offscreen with
# EGL (GLX on an X display as the fallback) and written with libpng; no Qt, so it
# starts fast. Installed with its thumbnailer entry, which file managers read from
# share/thumbnailers. Built only where EGL, OpenGL and libpng are found.
include(GNUInstallDirs)
find_path(QUOR_EGL_INCLUDE_DIR EGL/egl.h)
find_library(QUOR_EGL_LIBRARY NAMES EGL)
# GLVND's libOpenGL and libGLX where there are, the classic libGL (both in one) elsewhere.
find_library(QUOR_OPENGL_LIBRARY NAMES OpenGL GL)
find_library(QUOR_GLX_LIBRARY NAMES GLX GL)
find_package(PNG QUIET)
find_package(X11 QUIET)

if(QUOR_EGL_INCLUDE_DIR AND QUOR_EGL_LIBRARY AND QUOR_OPENGL_LIBRARY AND QUOR_GLX_LIBRARY AND PNG_FOUND
        AND X11_FOUND)
    add_library(quor_viewfit STATIC thumbnailer/viewfit.cpp)
    target_include_directories(quor_viewfit PUBLIC ${CMAKE_SOURCE_DIR})

    add_executable(quor-thumbnailer thumbnailer/main.cpp thumbnailer/meshsink.cpp thumbnailer/offscreengl.cpp
        thumbnailer/render.cpp thumbnailer/thumbfile.cpp)
    target_include_directories(quor-thumbnailer SYSTEM PRIVATE ${QUOR_EGL_INCLUDE_DIR})
    target_link_libraries(quor-thumbnailer PRIVATE quor_viewfit quor_core ${QUOR_EGL_LIBRARY}
        ${QUOR_OPENGL_LIBRARY} ${QUOR_GLX_LIBRARY} PNG::PNG X11::X11)
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
    message(STATUS "EGL, OpenGL, GLX or libpng not found: quor-thumbnailer is not built")
endif()
