#pragma once
// Shapes compiled into display lists on first use and replayed afterwards.
// All functions need a current GL context.
#include <memory>

class QOpenGLContextGroup;

// One compiled shape. Chains are newest first.
struct ShapeList {
    unsigned listId = 0;
    ShapeList *next = nullptr;
    int paramCount = 0;
    std::unique_ptr<double[]> params; // the values the list was compiled with
    // Contexts that share display lists form a group; the list name is only
    // valid there, and the entry goes when the group does. A QOpenGLContextGroup,
    // or the token of a context made without Qt.
    const void *group = nullptr;
};

inline constexpr int kShapeKinds = 16;
inline constexpr int ShapeKindSolidSphere = 10;

// Chain heads indexed by shape kind.
extern ShapeList *g_shapeLists[kShapeKinds];

// The list compiled in the current context's group for these parameters, or 0.
// Values compare equal unless they are ordered and different, so NaN matches
// anything. Entries with fewer parameters than count never match.
unsigned FindCachedList(int kind, const double *params, int count);

// A new entry for the current context's group, owning params; returns its new
// list name (to be compiled by the caller), or 0 without a context or for an
// unknown kind.
unsigned AddCachedList(int kind, std::unique_ptr<double[]> params, int count);

// A lit, filled sphere centred at the origin, compiled once per radius.
void SolidSphere(double radius);

// Number of entries of a kind over all groups.
int CachedListCount(int kind);

// A context made without Qt (EGL, with no display) is current and stands for a
// group of its own under `token`; null when Qt's contexts are used again, which
// forgets the lists of the token before.
void SetForeignGlContext(const void *token);
// Whether a context Qt knows, or a foreign one, is current.
bool GlContextCurrent();
