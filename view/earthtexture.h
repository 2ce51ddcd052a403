#pragma once
// The Earth map as a texture of the current context.

// Name of the texture the most recent definition made; each view keeps its own
// copy of the name it defined and binds that one.
extern unsigned g_earthTexture;

// Creates a texture from g_earthBitmap (when it holds a 24-bit image) and stores
// its name in g_earthTexture; leaves 2-D texturing on and no texture bound.
void DefineEarthTexture();
