#include "multisampletarget.h"

#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFramebufferObject>

#include <GL/gl.h>

#include <algorithm>

#ifndef GL_MAX_SAMPLES
#define GL_MAX_SAMPLES 0x8D57
#endif

namespace {
constexpr int kWantedSamples = 8;
}

MultisampleTarget::MultisampleTarget() = default;
MultisampleTarget::~MultisampleTarget() = default;

int MultisampleTarget::OfferedSamples() {
    QOpenGLContext *context = QOpenGLContext::currentContext();
    if (!context || !QOpenGLFramebufferObject::hasOpenGLFramebufferBlit())
        return 0;
    GLint most = 0;
    glGetIntegerv(GL_MAX_SAMPLES, &most);
    // A driver without the query flags an error; it is ours, not the scene's to find.
    for (int i = 0; i < 8 && glGetError() != GL_NO_ERROR; ++i) {
    }
    return most < 2 ? 0 : std::min(kWantedSamples, static_cast<int>(most));
}

bool MultisampleTarget::Bind(QSize deviceSize) {
    m_bound = false;
    if (deviceSize.isEmpty())
        return false;
    if (deviceSize != m_size) {
        m_fbo.reset();
        m_failed = false;
        m_size = deviceSize;
    }
    if (!m_fbo && !m_failed) {
        const int samples = OfferedSamples();
        if (samples > 0) {
            QOpenGLFramebufferObjectFormat format;
            format.setSamples(samples);
            format.setAttachment(QOpenGLFramebufferObject::Depth);
            m_fbo = std::make_unique<QOpenGLFramebufferObject>(deviceSize, format);
            if (!m_fbo->isValid() || m_fbo->format().samples() < 2)
                m_fbo.reset();
        }
        m_failed = !m_fbo;
    }
    if (!m_fbo)
        return false;
    m_bound = m_fbo->bind();
    return m_bound;
}

void MultisampleTarget::ResolveInto(unsigned target) {
    if (!m_bound || !m_fbo)
        return;
    m_bound = false;
    QOpenGLExtraFunctions *gl = QOpenGLContext::currentContext()->extraFunctions();
    gl->glBindFramebuffer(GL_READ_FRAMEBUFFER, m_fbo->handle());
    gl->glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target);
    gl->glBlitFramebuffer(0, 0, m_size.width(), m_size.height(), 0, 0, m_size.width(), m_size.height(),
                          GL_COLOR_BUFFER_BIT, GL_NEAREST);
    gl->glBindFramebuffer(GL_FRAMEBUFFER, target);
}

void MultisampleTarget::Release() {
    m_fbo.reset();
    m_size = QSize();
    m_failed = false;
    m_bound = false;
}

int MultisampleTarget::Samples() const {
    return m_fbo ? m_fbo->format().samples() : 0;
}
