#include "shapecache.h"

#include <QObject>
#include <QOpenGLContext>

#include <GL/glu.h>

#include <algorithm>
#include <vector>

ShapeList *g_shapeLists[kShapeKinds] = {};

namespace {

std::vector<const QOpenGLContextGroup *> g_watchedGroups;
const void *g_foreignContext = nullptr;

// The group's lists went with its last context: drop every entry naming them.
void ForgetGroup(const void *group) {
    for (ShapeList *&head : g_shapeLists) {
        ShapeList **link = &head;
        while (*link) {
            ShapeList *entry = *link;
            if (entry->group == group) {
                *link = entry->next;
                delete entry;
            } else {
                link = &entry->next;
            }
        }
    }
    std::erase(g_watchedGroups, group);
}

void WatchGroup(QOpenGLContextGroup *group) {
    if (std::find(g_watchedGroups.begin(), g_watchedGroups.end(), group) != g_watchedGroups.end())
        return;
    g_watchedGroups.push_back(group);
    QObject::connect(group, &QObject::destroyed, [group] { ForgetGroup(group); });
}

QOpenGLContextGroup *CurrentQtGroup() {
    QOpenGLContext *context = QOpenGLContext::currentContext();
    return context ? context->shareGroup() : nullptr;
}

const void *CurrentGroup() {
    if (const QOpenGLContextGroup *group = CurrentQtGroup())
        return group;
    return g_foreignContext;
}

bool Matches(const ShapeList &entry, const double *params, int count) {
    if (entry.paramCount < count)
        return false;
    for (int i = 0; i < count; ++i)
        if (entry.params[i] < params[i] || entry.params[i] > params[i])
            return false;
    return true;
}

} // namespace

unsigned FindCachedList(int kind, const double *params, int count) {
    const void *group = CurrentGroup();
    if (!group || kind < 0 || kind >= kShapeKinds || count < 0 || (count > 0 && !params))
        return 0;
    for (const ShapeList *entry = g_shapeLists[kind]; entry; entry = entry->next)
        if (entry->group == group && Matches(*entry, params, count))
            return entry->listId;
    return 0;
}

unsigned AddCachedList(int kind, std::unique_ptr<double[]> params, int count) {
    const void *group = CurrentGroup();
    if (!group || kind < 0 || kind >= kShapeKinds || count < 0)
        return 0;
    const unsigned list = glGenLists(1);
    if (list == 0)
        return 0;
    if (QOpenGLContextGroup *qtGroup = CurrentQtGroup())
        WatchGroup(qtGroup);
    auto *entry = new ShapeList;
    entry->listId = list;
    entry->paramCount = count;
    entry->params = std::move(params);
    entry->group = group;
    entry->next = g_shapeLists[kind];
    g_shapeLists[kind] = entry;
    return list;
}

void SolidSphere(double radius) {
    auto params = std::make_unique<double[]>(1);
    params[0] = radius;
    if (const unsigned list = FindCachedList(ShapeKindSolidSphere, params.get(), 1)) {
        glCallList(list);
        return;
    }
    GLUquadric *quadric = gluNewQuadric();
    if (!quadric)
        return;
    if (const unsigned list = AddCachedList(ShapeKindSolidSphere, std::move(params), 1)) {
        // Compile and execute, so that the first call draws as well.
        glNewList(list, GL_COMPILE_AND_EXECUTE);
        gluQuadricDrawStyle(quadric, GLU_FILL);
        gluQuadricNormals(quadric, GLU_SMOOTH);
        gluSphere(quadric, radius, 16, 16);
        glEndList();
    }
    gluDeleteQuadric(quadric);
}

int CachedListCount(int kind) {
    if (kind < 0 || kind >= kShapeKinds)
        return 0;
    int n = 0;
    for (const ShapeList *entry = g_shapeLists[kind]; entry; entry = entry->next)
        ++n;
    return n;
}

void SetForeignGlContext(const void *token) {
    if (g_foreignContext && g_foreignContext != token)
        ForgetGroup(g_foreignContext);
    g_foreignContext = token;
}

bool GlContextCurrent() {
    return QOpenGLContext::currentContext() || g_foreignContext;
}
