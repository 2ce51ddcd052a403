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

    include(GNUInstallDirs)
    install(TARGETS launcher RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
