#pragma once
// Counts the display lists and textures alive in the viewer's GL share group,
// from a context of its own in that group, so that tests can see GL objects leak.
#include <QOffscreenSurface>
#include <QOpenGLContext>

#include <GL/gl.h>

class SharedGlNames {
public:
    struct Counts {
        int lists = 0;
        int textures = 0;
    };

    SharedGlNames() {
        m_surface.setFormat(QOpenGLContext::globalShareContext()->format());
        m_surface.create();
        m_context.setShareContext(QOpenGLContext::globalShareContext());
        m_context.setFormat(m_surface.format());
        m_context.create();
    }

    // False when no context of the viewer's group could be made.
    bool valid() const {
        return m_surface.isValid() && m_context.isValid() && m_context.shareGroup() &&
               m_context.shareGroup() == QOpenGLContext::globalShareContext()->shareGroup();
    }

    // Names are small integers handed out from the bottom, so a generous range sees them all.
    Counts Count(unsigned maxName = 20000) {
        Counts counts;
        if (!m_context.makeCurrent(&m_surface))
            return {-1, -1};
        for (GLuint n = 1; n <= maxName; ++n) {
            counts.lists += glIsList(n) ? 1 : 0;
            counts.textures += glIsTexture(n) ? 1 : 0;
        }
        m_context.doneCurrent();
        return counts;
    }

    bool IsList(unsigned name) {
        return Ask([name] { return glIsList(name) == GL_TRUE; });
    }
    bool IsTexture(unsigned name) {
        return Ask([name] { return glIsTexture(name) == GL_TRUE; });
    }

private:
    template <class F> bool Ask(F question) {
        if (!m_context.makeCurrent(&m_surface))
            return false;
        const bool answer = question();
        m_context.doneCurrent();
        return answer;
    }

    QOffscreenSurface m_surface;
    QOpenGLContext m_context;
};
