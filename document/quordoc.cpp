#include "quordoc.h"

#include "../resources/ids.h"
#include "chunkfile.h"

#include <cstdlib>

CQUORDoc::CQUORDoc() {
    MapCommand(ID_VIEW_FROMSPACE, [this] { OnFromSpace(); });
    MapCommand(ID_VIEW_FROMISS, [this] { OnFromIss(); });
    MapCommand(ID_VIEW_APPROACH, [this] { OnApproach(); });
}

CQUORDoc::~CQUORDoc() {
    FreeModel();
    std::free(m_materials);
}

// A document exists only for an opened file.
bool CQUORDoc::OnNewDocument() {
    return false;
}

bool CQUORDoc::OnOpenDocument(const std::string &path) {
    // Opened once: the file that passed the checks is the file that is read.
    ChunkFile file;
    if (!file.Open(path))
        return false;
    FreeModel();
    Read3dsFile(file);
    CompileModelList();
    return true;
}

void CQUORDoc::FreeModel() {
    std::free(m_vertices);
    std::free(m_faces);
    std::free(m_textureMaps);
    m_vertices = nullptr;
    m_faces = nullptr;
    m_textureMaps = nullptr;
    m_vertexCount = 0;
    m_faceCount = 0;
    m_textureMapCount = 0;
}

void CQUORDoc::SetViewMode(int32_t mode) {
    m_viewMode = mode;
    UpdateAllViews(nullptr, 0);
}

void CQUORDoc::OnFromSpace() {
    SetViewMode(ViewFromSpace);
}
void CQUORDoc::OnFromIss() {
    SetViewMode(ViewFromISS);
}
void CQUORDoc::OnApproach() {
    SetViewMode(ViewApproach);
}
