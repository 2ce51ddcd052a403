#pragma once
// The Earth's wire frame. freeglut draws it when it could be initialised (it
// needs an X display, and ends the process when used without); otherwise the
// same frame is drawn here, vertex for vertex, so that a picture does not depend
// on whether there was a display.
void InitWireSphere(int *argc, char **argv);
void WireSphere(double radius, int slices, int stacks);
// For processes that may never draw it: freeglut is initialised on the first
// wire sphere drawn, if a display was there when this was called.
void DeferWireSphereInit();
// The frame drawn without freeglut: `stacks - 1` circles of latitude and `slices`
// meridians about the z axis, with normals, from vertex and normal arrays.
void DrawWireSphere(double radius, int slices, int stacks);
