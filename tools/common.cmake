# quor_offscreengl: a legacy OpenGL context without a window (EGL surfaceless,
# else an EGL pbuffer, else GLX on $DISPLAY), for the programs that draw pictures
# offscreen: quor-thumbnailer and quor-inspect --render. Built only where EGL,
# OpenGL, GLX and Xlib are found.
find_path(QUOR_EGL_INCLUDE_DIR EGL/egl.h)
find_library(QUOR_EGL_LIBRARY NAMES EGL)
# GLVND's libOpenGL and libGLX where there are, the classic libGL (both in one) elsewhere.
find_library(QUOR_OPENGL_LIBRARY NAMES OpenGL GL)
find_library(QUOR_GLX_LIBRARY NAMES GLX GL)
find_package(X11 QUIET)

if(QUOR_EGL_INCLUDE_DIR AND QUOR_EGL_LIBRARY AND QUOR_OPENGL_LIBRARY AND QUOR_GLX_LIBRARY AND X11_FOUND)
    add_library(quor_offscreengl STATIC tools/common/offscreengl.cpp)
    target_include_directories(quor_offscreengl PUBLIC ${CMAKE_SOURCE_DIR})
    target_include_directories(quor_offscreengl SYSTEM PRIVATE ${QUOR_EGL_INCLUDE_DIR})
    target_link_libraries(quor_offscreengl PUBLIC quor_core ${QUOR_EGL_LIBRARY} ${QUOR_OPENGL_LIBRARY} ${QUOR_GLX_LIBRARY}
        X11::X11)
else()
    message(STATUS "EGL, OpenGL, GLX or Xlib not found: no offscreen context for quor-thumbnailer "
        "and quor-inspect --render")
endif()
