#include "document.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

View::~View() {
    if (m_document)
        m_document->RemoveView(this);
}

void View::OnUpdate(View *, long) {
    Invalidate();
}

Document::~Document() {
    for (View *v : m_views)
        v->m_document = nullptr;
}

void Document::SetPathName(const std::string &path) {
    m_pathName = path;
    const auto slash = path.find_last_of('/');
    m_title = slash == std::string::npos ? path : path.substr(slash + 1);
}

void Document::AddView(View *view) {
    if (view->m_document == this)
        return;
    if (view->m_document)
        view->m_document->RemoveView(view);
    m_views.push_back(view);
    view->m_document = this;
}

void Document::RemoveView(View *view) {
    auto it = std::find(m_views.begin(), m_views.end(), view);
    if (it == m_views.end())
        return;
    m_views.erase(it);
    view->m_document = nullptr;
}

void Document::UpdateAllViews(View *sender, long hint) {
    // Copy: a view's reaction must not invalidate the walk.
    const std::vector<View *> views = m_views;
    for (View *v : views) {
        if (v != sender)
            v->OnUpdate(sender, hint);
    }
}

bool Document::OnOpenDocument(const std::string &path) {
    // Without O_NONBLOCK, opening a pipe waits for a writer; only a regular file is a document.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st {};
    const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    close(fd);
    return regular;
}
