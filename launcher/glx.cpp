#include "glx.h"

#include <GL/glx.h>

#include <string_view>

namespace {

int Attribute(Display *display, GLXFBConfig config, int attribute) {
    int value = 0;
    if (glXGetFBConfigAttrib(display, config, attribute, &value) != Success)
        return 0;
    return value;
}

FbConfigInfo Describe(Display *display, GLXFBConfig config) {
    FbConfigInfo info;
    info.id = Attribute(display, config, GLX_FBCONFIG_ID);
    info.visualId = Attribute(display, config, GLX_VISUAL_ID);
    info.drawsToWindow = (Attribute(display, config, GLX_DRAWABLE_TYPE) & GLX_WINDOW_BIT) != 0;
    info.rgba = (Attribute(display, config, GLX_RENDER_TYPE) & GLX_RGBA_BIT) != 0;
    info.doubleBuffer = Attribute(display, config, GLX_DOUBLEBUFFER) != 0;
    info.slow = Attribute(display, config, GLX_CONFIG_CAVEAT) == GLX_SLOW_CONFIG;
    info.redBits = Attribute(display, config, GLX_RED_SIZE);
    info.greenBits = Attribute(display, config, GLX_GREEN_SIZE);
    info.blueBits = Attribute(display, config, GLX_BLUE_SIZE);
    info.alphaBits = Attribute(display, config, GLX_ALPHA_SIZE);
    info.depthBits = Attribute(display, config, GLX_DEPTH_SIZE);
    info.stencilBits = Attribute(display, config, GLX_STENCIL_SIZE);
    info.sampleBuffers = Attribute(display, config, GLX_SAMPLE_BUFFERS);
    info.samples = Attribute(display, config, GLX_SAMPLES);
    return info;
}

// Frame-buffer configurations need GLX 1.3; sample counts need 1.4 or the
// multisample extension.
bool HasMultisampleQuery(Display *display, int screen) {
    int major = 0, minor = 0;
    if (!glXQueryVersion(display, &major, &minor))
        return false;
    if (major > 1 || (major == 1 && minor >= 4))
        return true;
    if (major < 1 || minor < 3)
        return false;
    const char *extensions = glXQueryExtensionsString(display, screen);
    if (!extensions)
        return false;
    const std::string_view list(extensions);
    const std::string_view name = "GLX_ARB_multisample";
    for (std::size_t pos = list.find(name); pos != std::string_view::npos; pos = list.find(name, pos + 1)) {
        const std::size_t end = pos + name.size();
        if ((pos == 0 || list[pos - 1] == ' ') && (end == list.size() || list[end] == ' '))
            return true;
    }
    return false;
}

std::vector<FbConfigInfo> DescribeAll(Display *display, GLXFBConfig *configs, int count) {
    std::vector<FbConfigInfo> infos;
    if (!configs)
        return infos;
    infos.reserve(count);
    for (int i = 0; i < count; ++i)
        infos.push_back(Describe(display, configs[i]));
    XFree(configs);
    return infos;
}

} // namespace

bool CanOpenDisplay() {
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XCloseDisplay(display);
    return true;
}

std::vector<FbConfigInfo> AllFbConfigs(Display *display, int screen) {
    int count = 0;
    GLXFBConfig *configs = glXGetFBConfigs(display, screen, &count);
    return DescribeAll(display, configs, count);
}

GLXContext CreateWindowContext(Display *display, unsigned long window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || !attributes.visual)
        return nullptr;
    const int screen = XScreenNumberOfScreen(attributes.screen);
    int count = 0;
    GLXFBConfig *configs = glXGetFBConfigs(display, screen, &count);
    if (!configs)
        return nullptr;
    std::vector<FbConfigInfo> infos;
    for (int i = 0; i < count; ++i)
        infos.push_back(Describe(display, configs[i]));
    GLXContext context = nullptr;
    const auto chosen = ChooseBasicFormat(infos, static_cast<int>(XVisualIDFromVisual(attributes.visual)));
    if (chosen) {
        const int renderType = infos[*chosen].rgba ? GLX_RGBA_TYPE : GLX_COLOR_INDEX_TYPE;
        context = glXCreateNewContext(display, configs[*chosen], renderType, nullptr, True);
    }
    XFree(configs);
    if (context && !glXMakeContextCurrent(display, window, window, context)) {
        glXDestroyContext(display, context);
        context = nullptr;
    }
    return context;
}

void DeleteWindowContext(Display *display, GLXContext context) {
    if (glXGetCurrentContext() == context)
        glXMakeContextCurrent(display, None, None, nullptr);
    glXDestroyContext(display, context);
}

bool IsCurrentOn(GLXContext context, unsigned long window) {
    return context && glXGetCurrentContext() == context && glXGetCurrentDrawable() == window;
}

void SyncDisplay(Display *display) {
    XSync(display, False);
}

std::vector<FbConfigInfo> GlxMultisampleProbe::Candidates() const {
    if (!HasMultisampleQuery(m_display, m_screen))
        return {};
    // The caveat is left at its default (any) and slow configurations are
    // turned away afterwards: "non-conformant" ones are still accelerated.
    // clang-format off
    const int request[] = {
        GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT,
        GLX_RENDER_TYPE, GLX_RGBA_BIT,
        GLX_BUFFER_SIZE, 16,
        GLX_ALPHA_SIZE, 8,
        GLX_DEPTH_SIZE, 16,
        GLX_STENCIL_SIZE, 0,
        GLX_DOUBLEBUFFER, True,
        GLX_SAMPLE_BUFFERS, 1,
        GLX_SAMPLES, 8,
        None};
    // clang-format on
    int count = 0;
    GLXFBConfig *configs = glXChooseFBConfig(m_display, m_screen, request, &count);
    return DescribeAll(m_display, configs, count);
}

std::optional<int> GlxMultisampleProbe::FindFormat() {
    // GLX counts samples as a minimum and may list more first; the choice takes the fewest.
    return ChooseMultisampleFormat(Candidates());
}

int DefaultScreenNumber(Display *display) {
    return DefaultScreen(display);
}
