#pragma once
// The launcher's use of GLX, kept apart so that Xlib's macros stay out of the
// Qt code.
#include "multisample.h"

#include <vector>

typedef struct _XDisplay Display;
typedef struct __GLXcontextRec *GLXContext;

// Whether an X display can be opened at all (before Qt tries and gives up).
bool CanOpenDisplay();

// Every frame-buffer configuration of the screen, in the driver's order.
std::vector<FbConfigInfo> AllFbConfigs(Display *display, int screen);

// Creates a plain context for the window's own visual and makes it current on
// the window. Null when that fails.
GLXContext CreateWindowContext(Display *display, unsigned long window);
// Makes no context current and destroys the context.
void DeleteWindowContext(Display *display, GLXContext context);
// Whether the context is the current one and draws to the window.
bool IsCurrentOn(GLXContext context, unsigned long window);

// Waits until the server has handled every request sent so far.
void SyncDisplay(Display *display);

// The driver's own answer: glXChooseFBConfig asked for the antialiasing
// format, the answer checked against what the launcher needs.
class GlxMultisampleProbe : public MultisampleProbe {
public:
    GlxMultisampleProbe(Display *display, int screen) : m_display(display), m_screen(screen) {}
    std::optional<int> FindFormat() override;

    // The configurations glXChooseFBConfig offers for the request, in its order;
    // empty when the query is not available.
    std::vector<FbConfigInfo> Candidates() const;

private:
    Display *m_display;
    int m_screen;
};

// The display's default screen.
int DefaultScreenNumber(Display *display);
