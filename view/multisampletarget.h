#pragma once
// An antialiased place to draw the scene into: a multisample framebuffer of the
// pane's size, resolved into the pane's own framebuffer before the text is drawn,
// so that the bitmap text is drawn exactly as it is without antialiasing.
#include <QSize>

#include <memory>

class QOpenGLFramebufferObject;

class MultisampleTarget {
public:
    MultisampleTarget();
    ~MultisampleTarget();
    MultisampleTarget(const MultisampleTarget &) = delete;
    MultisampleTarget &operator=(const MultisampleTarget &) = delete;

    // The samples the current context's driver offers for a framebuffer: 8 where
    // it can, else the most it can, 0 when it has no multisampling.
    static int OfferedSamples();

    // With the pane's context current: makes (or remakes, when the size changed)
    // the framebuffer and binds it. False when the driver cannot make one; the
    // caller then draws straight into its own framebuffer.
    bool Bind(QSize deviceSize);
    // Copies the picture into the framebuffer `target` (a GL name; the pane's
    // own) and leaves that one bound. Nothing when nothing is bound here.
    void ResolveInto(unsigned target);
    // Frees the framebuffer; the pane's context must be current.
    void Release();

    bool IsBound() const { return m_bound; }
    int Samples() const; // of the framebuffer made, 0 before one is

private:
    std::unique_ptr<QOpenGLFramebufferObject> m_fbo;
    QSize m_size;
    bool m_failed = false; // the driver refused this size; not tried again until it changes
    bool m_bound = false;
};
