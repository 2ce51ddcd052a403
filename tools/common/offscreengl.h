#pragma once
// A legacy (compatibility) OpenGL context made current without a window, so that
// pictures (thumbnails, quor-inspect --render) can be drawn with no X display at all.
#include <string>

class OffscreenGl {
public:
    OffscreenGl() = default;
    ~OffscreenGl();
    OffscreenGl(const OffscreenGl &) = delete;
    OffscreenGl &operator=(const OffscreenGl &) = delete;

    // Tries in turn EGL on Mesa's surfaceless platform, EGL's default display with a
    // pbuffer, and GLX with a pbuffer on $DISPLAY. On failure `error` says what each gave.
    bool Create(std::string &error);
    // Lets go of the context in this thread, so that another can take it with
    // MakeCurrent: context creation can then run beside other work.
    void Detach();
    bool MakeCurrent();
    // An entry point of the current context's API; null when there is none. Like
    // any GetProcAddress it may answer for functions the context does not support.
    void *Proc(const char *name) const;
    // Which of the three ways gave the context.
    const char *Kind() const { return kind_; }

    // Whether a space-separated extension list names `name` exactly.
    static bool HasExtension(const char *list, const char *name);

private:
    bool TryEgl(void *display, bool pbuffer, std::string &why);
    bool TryGlx(std::string &why);
    // Frees the context and surface; `close` also closes the display.
    void Release(bool close);

    // EGL and X handles, kept opaque here so that users need neither header.
    void *eglDisplay_ = nullptr;
    void *eglContext_ = nullptr;
    void *eglSurface_ = nullptr;
    void *xDisplay_ = nullptr;
    void *glxContext_ = nullptr;
    unsigned long glxPbuffer_ = 0;
    const char *kind_ = "none";
};
