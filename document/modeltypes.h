#pragma once
// Records of the station model tables, as the 3DS reader fills them.
#include <cstdint>

struct ModelVertex {
    float x, y, z; // file axes: z is up
    float u, v;    // mapping coordinates; 0 for objects without a mapping list
};

struct ModelFace {
    int32_t vertexIndex[3];
    uint8_t red, green, blue;
    uint8_t textureMap; // low byte of the material's texture-map index
    int32_t textured;
    int32_t smooth;
};

struct ModelMaterial {
    char name[32];
    int16_t textureMap; // index into the texture-map table, -1 = none
    uint8_t diffuse[3];
};

struct ModelTextureMap {
    char fileName[128];
    int32_t hasFile;
};

// Camera modes, the values of CQUORDoc::m_viewMode.
// From Here (the sky seen from the watcher's place) belongs to the live orbit only.
enum ViewMode : int32_t { ViewFromSpace = 1, ViewFromISS = 2, ViewApproach = 3, ViewFromHere = 4 };
