// libFuzzer target: any byte string read as a .3ds file and compiled into a
// display list must leave consistent tables and never touch memory outside them.
#include "document/chunkfile.h"
#include "document/quordoc.h"
#include "document/recordingsink.h"
#include "framework/messages.h"

#include <cstdint>
#include <cstdlib>

namespace {
class DiscardMessages : public MessageService {
public:
    void Show(const std::string &, const std::string &, MessageIcon) override {}
};

void Check(bool ok) {
    if (!ok)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    DiscardMessages quiet;
    ScopedMessageService scope(&quiet);
    CQUORDoc doc;
    Read3dsBytes(doc, data, size);

    Check(doc.m_materials == nullptr && doc.m_materialCount == 0);
    Check(doc.m_vertexCount >= 0 && doc.m_faceCount >= 0 && doc.m_textureMapCount >= 0);
    for (int32_t i = 0; i < doc.m_faceCount; ++i) {
        for (int32_t v : doc.m_faces[i].vertexIndex)
            Check(v >= 0 && v < doc.m_vertexCount);
        Check(!doc.m_faces[i].textured || doc.m_faces[i].textureMap < doc.m_textureMapCount);
    }
    // Whatever the counts and lengths claim, the tables stay in proportion to the input.
    const uint64_t tableBytes = sizeof(ModelVertex) * static_cast<uint64_t>(doc.m_vertexCount) +
                                sizeof(ModelFace) * static_cast<uint64_t>(doc.m_faceCount) +
                                sizeof(ModelTextureMap) * static_cast<uint64_t>(doc.m_textureMapCount);
    Check(tableBytes <= 16 * static_cast<uint64_t>(size) + 4096);

    CountingSink sink;
    doc.CompileModelList(sink);
    Check(sink.Count(GlOp::Vertex3f) <=
          3 * static_cast<size_t>(doc.m_faceCount)); // degenerate faces are left out
    return 0;
}
