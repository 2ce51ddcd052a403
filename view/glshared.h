#pragma once
// GL objects shared by every scene view.
struct GLUquadric;

// The quadric the Earth is drawn with. It lives while any scene view does, so
// that closing one document never leaves another drawing with a deleted quadric.
extern GLUquadric *g_quadric;
void AcquireQuadric();
void ReleaseQuadric();
