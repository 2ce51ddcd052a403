# The launcher: probes for an eight-sample GLX format and runs the viewer.
if(QUOR_GUI)
    find_package(X11 REQUIRED)
    add_library(quor_launcher STATIC
        launcher/launcher.cpp launcher/glx.cpp launcher/multisample.cpp launcher/viewer.cpp
        resources/gui/icons.cpp)
    target_include_directories(quor_launcher PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(quor_launcher PUBLIC quor_core Qt6::Widgets OpenGL::GL OpenGL::GLU X11::X11)

    add_executable(launcher launcher/main.cpp)
    target_link_libraries(launcher PRIVATE quor_launcher)
    target_compile_definitions(launcher PRIVATE QUOR_VERSION="${PROJECT_VERSION}")

    include(GNUInstallDirs)
    install(TARGETS launcher RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

    add_executable(launcher_unit_tests tests/launcher/test_choose.cpp)
    target_link_libraries(launcher_unit_tests PRIVATE quor_launcher GTest::gtest GTest::gtest_main)
    gtest_discover_tests(launcher_unit_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS launcher)

    add_executable(launcher_gui_tests
        tests/launcher/main.cpp tests/launcher/test_launcher_flow.cpp tests/launcher/test_launcher_process.cpp)
    target_link_libraries(launcher_gui_tests PRIVATE quor_launcher GTest::gtest)
    target_compile_definitions(launcher_gui_tests PRIVATE
        LAUNCHER_BINARY="$<TARGET_FILE:launcher>" FAKE_VIEWER="${CMAKE_SOURCE_DIR}/tests/launcher/fake_viewer.sh")
    add_dependencies(launcher_gui_tests launcher)
    gtest_discover_tests(launcher_gui_tests DISCOVERY_TIMEOUT 60
        PROPERTIES LABELS launcher RESOURCE_LOCK display ENVIRONMENT "LIBGL_ALWAYS_SOFTWARE=1")
endif()
