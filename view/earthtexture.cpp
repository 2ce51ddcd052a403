#include "earthtexture.h"

#include "core/bmpimage.h"

#include <GL/gl.h>

#ifndef GL_BGR_EXT
#define GL_BGR_EXT 0x80E0
#endif

unsigned g_earthTexture = 0;

void DefineEarthTexture() {
    GLuint name = 0;
    glGenTextures(1, &name);
    g_earthTexture = name;
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glEnable(GL_TEXTURE_2D);
    const BmpImage &map = g_earthBitmap;
    const size_t needed = static_cast<size_t>(map.widthBytes) * static_cast<size_t>(map.height);
    if (map.bitsPixel == 24 && map.width > 0 && map.height > 0 && map.pixels.size() >= needed) {
        // Rows are padded to 4 bytes, which is GL's default unpack alignment;
        // the file's blue-green-red order goes in unchanged.
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glTexImage2D(GL_TEXTURE_2D, 0, 3, map.width, map.height, 0, GL_BGR_EXT, GL_UNSIGNED_BYTE, map.Bits());
    }
    glBindTexture(GL_TEXTURE_2D, 0);
}
