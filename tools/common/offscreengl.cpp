#include "offscreengl.h"

#include "framework/drivercache.h"

#define EGL_NO_X11 // the EGL path must not need X headers or types
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/glx.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
std::string EglError(const char *call) {
    char text[64];
    std::snprintf(text, sizeof text, "%s failed (0x%04x)", call, static_cast<unsigned>(eglGetError()));
    return text;
}

// Xlib's default handler ends the process on a protocol error; a failing GLX
// request must only make this way fail.
int g_xError = 0;
int RecordXError(Display *, XErrorEvent *event) {
    g_xError = event->error_code;
    return 0;
}
} // namespace

bool OffscreenGl::HasExtension(const char *list, const char *name) {
    if (!list)
        return false;
    const size_t n = std::strlen(name);
    for (const char *p = list; (p = std::strstr(p, name)) != nullptr; p += n) {
        if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0'))
            return true;
    }
    return false;
}

OffscreenGl::~OffscreenGl() {
    // The display stays open: closing it unloads the driver, which costs time in a
    // program about to end and turns the driver's own tables into reported leaks.
    Release(false);
}

bool OffscreenGl::Create(std::string &error) {
    KeepDriverCacheOffAFullDisk();
    std::string why;
    const char *clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    const auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (HasExtension(clientExtensions, "EGL_MESA_platform_surfaceless") && getPlatformDisplay) {
        EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (display != EGL_NO_DISPLAY && TryEgl(display, false, why)) {
            kind_ = "EGL surfaceless";
            return true;
        }
        error +=
            "EGL surfaceless: " + (display == EGL_NO_DISPLAY ? EglError("eglGetPlatformDisplayEXT") : why);
    } else {
        error += "EGL surfaceless: not offered";
    }

    why.clear();
    EGLDisplay display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (display != EGL_NO_DISPLAY && TryEgl(display, true, why)) {
        kind_ = "EGL pbuffer";
        return true;
    }
    error += "; EGL default display: " + (display == EGL_NO_DISPLAY ? EglError("eglGetDisplay") : why);

    why.clear();
    if (TryGlx(why)) {
        kind_ = "GLX pbuffer";
        return true;
    }
    error += "; GLX: " + why;
    return false;
}

bool OffscreenGl::TryEgl(void *display, bool pbuffer, std::string &why) {
    EGLint major = 0, minor = 0;
    if (!eglInitialize(display, &major, &minor)) {
        why = EglError("eglInitialize");
        return false;
    }
    eglDisplay_ = display;
    if (!eglBindAPI(EGL_OPENGL_API)) {
        why = EglError("eglBindAPI(OpenGL)");
        Release(true);
        return false;
    }
    // The picture is drawn into a framebuffer object, so the surface, if any,
    // only has to exist.
    const bool surfaceless =
        !pbuffer && HasExtension(eglQueryString(display, EGL_EXTENSIONS), "EGL_KHR_surfaceless_context");
    // clang-format off
    const EGLint attributes[] = {
        EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
        EGL_SURFACE_TYPE, surfaceless ? 0 : EGL_PBUFFER_BIT,
        EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8,
        EGL_NONE};
    // clang-format on
    EGLConfig config = nullptr;
    EGLint found = 0;
    if (!eglChooseConfig(display, attributes, &config, 1, &found) || found < 1) {
        why = found < 1 ? std::string("no OpenGL configuration") : EglError("eglChooseConfig");
        Release(true);
        return false;
    }
    if (!surfaceless) {
        const EGLint size[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
        eglSurface_ = eglCreatePbufferSurface(display, config, size);
        if (eglSurface_ == EGL_NO_SURFACE) {
            why = EglError("eglCreatePbufferSurface");
            Release(true);
            return false;
        }
    }
    eglContext_ = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    if (eglContext_ == EGL_NO_CONTEXT) {
        why = EglError("eglCreateContext");
        Release(true);
        return false;
    }
    if (!eglMakeCurrent(display, eglSurface_, eglSurface_, eglContext_)) {
        why = EglError("eglMakeCurrent");
        Release(true);
        return false;
    }
    return true;
}

bool OffscreenGl::TryGlx(std::string &why) {
    const char *name = std::getenv("DISPLAY");
    if (!name || !*name) {
        why = "no X display ($DISPLAY is not set)";
        return false;
    }
    Display *x = XOpenDisplay(nullptr);
    if (!x) {
        why = std::string("cannot open X display ") + name;
        return false;
    }
    xDisplay_ = x;
    XErrorHandler previous = XSetErrorHandler(RecordXError);
    g_xError = 0;
    // clang-format off
    const int attributes[] = {
        GLX_DRAWABLE_TYPE, GLX_PBUFFER_BIT,
        GLX_RENDER_TYPE, GLX_RGBA_BIT,
        GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8,
        None};
    // clang-format on
    int count = 0;
    GLXFBConfig *configs = glXChooseFBConfig(x, DefaultScreen(x), attributes, &count);
    bool ok = false;
    if (!configs || count < 1) {
        why = "no GLX pbuffer configuration";
    } else {
        const int size[] = {GLX_PBUFFER_WIDTH, 1, GLX_PBUFFER_HEIGHT, 1, None};
        glxPbuffer_ = glXCreatePbuffer(x, configs[0], size);
        glxContext_ = glXCreateNewContext(x, configs[0], GLX_RGBA_TYPE, nullptr, True);
        XSync(x, False);
        if (!glxPbuffer_ || !glxContext_ || g_xError)
            why = "cannot create a GLX pbuffer and context";
        else if (!glXMakeContextCurrent(x, glxPbuffer_, glxPbuffer_, static_cast<GLXContext>(glxContext_)))
            why = "glXMakeContextCurrent failed";
        else
            ok = true;
    }
    if (configs)
        XFree(configs);
    XSync(x, False);
    XSetErrorHandler(previous);
    if (!ok)
        Release(true);
    return ok;
}

void OffscreenGl::Detach() {
    if (eglDisplay_) {
        eglMakeCurrent(eglDisplay_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglReleaseThread();
    } else if (xDisplay_) {
        glXMakeContextCurrent(static_cast<Display *>(xDisplay_), None, None, nullptr);
    }
}

bool OffscreenGl::MakeCurrent() {
    if (eglDisplay_)
        return eglBindAPI(EGL_OPENGL_API) &&
               eglMakeCurrent(eglDisplay_, eglSurface_, eglSurface_, eglContext_);
    if (xDisplay_)
        return glXMakeContextCurrent(static_cast<Display *>(xDisplay_), glxPbuffer_, glxPbuffer_,
                                     static_cast<GLXContext>(glxContext_));
    return false;
}

void *OffscreenGl::Proc(const char *name) const {
    if (xDisplay_)
        return reinterpret_cast<void *>(glXGetProcAddress(reinterpret_cast<const GLubyte *>(name)));
    return reinterpret_cast<void *>(eglGetProcAddress(name));
}

void OffscreenGl::Release(bool close) {
    if (eglDisplay_) {
        eglMakeCurrent(eglDisplay_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (eglContext_)
            eglDestroyContext(eglDisplay_, eglContext_);
        if (eglSurface_)
            eglDestroySurface(eglDisplay_, eglSurface_);
        if (close)
            eglTerminate(eglDisplay_);
    }
    eglDisplay_ = eglContext_ = eglSurface_ = nullptr;
    if (xDisplay_) {
        Display *x = static_cast<Display *>(xDisplay_);
        glXMakeContextCurrent(x, None, None, nullptr);
        if (glxContext_)
            glXDestroyContext(x, static_cast<GLXContext>(glxContext_));
        if (glxPbuffer_)
            glXDestroyPbuffer(x, glxPbuffer_);
        if (close)
            XCloseDisplay(x);
    }
    xDisplay_ = glxContext_ = nullptr;
    glxPbuffer_ = 0;
    kind_ = "none";
}
