#pragma once
// The Earth's wire frame. freeglut draws it when it could be initialised (it
// needs an X display, and ends the process when used without); otherwise a GLU
// sphere in line style stands in.
void InitWireSphere(int *argc, char **argv);
void WireSphere(double radius, int slices, int stacks);
// For processes that may never draw it: freeglut is initialised on the first
// wire sphere drawn, if a display was there when this was called.
void DeferWireSphereInit();
