#pragma once
// The document of one opened station model: the model tables read from the
// .3ds file, the display list compiled from them, and the station state that
// the scene view computes each frame and the data panel prints.
#include "../framework/document.h"
#include "glsink.h"
#include "modeltypes.h"

#include <cstdint>
#include <string>
#include <unordered_map>

class ChunkFile; // the reader's bounded view of an open .3ds file

class CQUORDoc : public Document {
public:
    CQUORDoc();
    ~CQUORDoc() override;
    CQUORDoc(const CQUORDoc &) = delete;
    CQUORDoc &operator=(const CQUORDoc &) = delete;

    // Framework hooks.
    bool OnNewDocument() override;
    bool OnOpenDocument(const std::string &path) override;

    void FreeModel();

    // --- 3DS reader (read3ds.cpp) ---
    void Read3dsFile(const std::string &path);
    void Read3dsFile(ChunkFile &file); // an opened file, from its start
    uint32_t ReadDword(ChunkFile &file);
    uint16_t ReadWord(ChunkFile &file);
    uint8_t ReadByte(ChunkFile &file);
    void ReadMaterialBlock(ChunkFile &file);
    bool ReadMapChunk(ChunkFile &file, uint16_t id, bool &newMaterial);
    void ReadNamedObject(ChunkFile &file);
    void ReadVertexList(ChunkFile &file);
    void ReadMappingList(ChunkFile &file);
    void ReadFaceList(ChunkFile &file);
    int32_t FindMaterial(const std::string &name) const;

    // --- Model geometry and display list (modelgeometry.cpp) ---
    void CompileModelList(); // into DefaultGlSink()
    void CompileModelList(GlSink &sink);
    float ComputeModelFit(float centre[3]) const;
    static bool FaceNormal(const float p0[3], const float p1[3], const float p2[3], float n[3]);
    static bool NormalizeVector(float v[3]);
    static bool ColourNearLast(uint8_t r, uint8_t g, uint8_t b);

    // Camera-mode commands.
    void OnFromSpace();
    void OnFromIss();
    void OnApproach();

    // Model tables, owned; grown to exactly their counts.
    ModelVertex *m_vertices = nullptr;
    ModelFace *m_faces = nullptr;
    ModelTextureMap *m_textureMaps = nullptr;
    ModelMaterial *m_materials = nullptr;                     // only while a file is being read
    std::unordered_map<std::string, int32_t> m_materialIndex; // whole name -> first material of that name
    int32_t m_vertexCount = 0;
    int32_t m_faceCount = 0;
    int32_t m_textureMapCount = 0;
    int32_t m_materialCount = 0;
    int32_t m_vertexBase = 0; // reader state
    int32_t m_faceBase = 0;   // reader state
    int32_t m_modelList = 0;  // display list of the compiled model, 0 = none

    // Station state, written by the scene view every frame.
    float m_latitude = 0.0f;
    float m_longitude = 0.0f;
    float m_altitude = 0.0f;
    int32_t m_viewMode = ViewFromSpace;
    float m_speed = 0.0f;

    // The live orbit: shown instead of the simulated one while m_live is set and
    // elements are open.
    bool m_live = false;
    bool m_groundTrack = false;

private:
    void SetViewMode(int32_t mode);
};

// Vector helpers on 3 x float32; the result may alias an input.
void VecSub(const float a[3], const float b[3], float out[3]);
void VecAdd(const float a[3], const float b[3], float out[3]);
void VecScale(float s, const float v[3], float out[3]);
float VecDot(const float a[3], const float b[3]);
void VecCross(const float a[3], const float b[3], float out[3]);

// Colour of the last colour command any compile emitted; shared by all documents.
extern uint8_t g_lastColour[3];
