#include "report.h"

#include "document/quordoc.h"
#include "document/recordingsink.h"
#include "framework/messages.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

bool IndicesInTable(const ModelFace &face, int32_t vertexCount) {
    for (int32_t index : face.vertexIndex) {
        if (index < 0 || index >= vertexCount)
            return false;
    }
    return true;
}

bool Degenerate(const CQUORDoc &doc, const ModelFace &face) {
    float p[3][3];
    for (int k = 0; k < 3; ++k) {
        const ModelVertex &v = doc.m_vertices[face.vertexIndex[k]];
        p[k][0] = v.x;
        p[k][1] = v.y;
        p[k][2] = v.z;
    }
    float n[3];
    return !CQUORDoc::FaceNormal(p[0], p[1], p[2], n);
}

void CountFaces(const CQUORDoc &doc, InspectReport &report) {
    for (int32_t f = 0; f < doc.m_faceCount; ++f) {
        const ModelFace &face = doc.m_faces[f];
        report.texturedFaces += face.textured != 0;
        report.smoothFaces += face.smooth != 0;
        if (IndicesInTable(face, doc.m_vertexCount) && Degenerate(doc, face))
            ++report.degenerateFaces;
    }
}

// The list is measured as it is compiled and never stored: a million-face model
// would otherwise cost hundreds of megabytes of recorded commands.
void MeasureList(const CountingSink &sink, InspectReport &report) {
    report.colourCommands = sink.Count(GlOp::Color4fv);
    report.listVertices = sink.Count(GlOp::Vertex3f);
    report.hasBox = report.listVertices > 0;
    if (report.hasBox) {
        report.boxMin = sink.BoxMin();
        report.boxMax = sink.BoxMax();
    }
}

// Shortest text that reads back as the same float; JSON has no NaN or infinity.
std::string Number(float value) {
    if (!std::isfinite(value))
        return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    for (int digits = 1; digits < 9; ++digits) {
        char shorter[32];
        std::snprintf(shorter, sizeof shorter, "%.*g", digits, static_cast<double>(value));
        if (std::strtof(shorter, nullptr) == value)
            return shorter;
    }
    return text;
}

std::string Triple(const std::array<float, 3> &v) {
    return "[" + Number(v[0]) + ", " + Number(v[1]) + ", " + Number(v[2]) + "]";
}

// Length of the well-formed UTF-8 sequence at text[i], or 0 when it is not one.
size_t Utf8Length(const std::string &text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size_t length;
    unsigned char lo = 0x80, hi = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        lo = lead == 0xE0 ? 0xA0 : 0x80;
        hi = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        lo = lead == 0xF0 ? 0x90 : 0x80;
        hi = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    if (byte(i + 1) < lo || byte(i + 1) > hi)
        return 0;
    for (size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF)
            return 0;
    }
    return length;
}

} // namespace

bool InspectFile(const std::string &path, InspectReport &report) {
    report.file = path;
    CountingSink sink;
    RecordingMessageService messages;
    CQUORDoc doc;
    {
        ScopedMessageService guard(&messages);
        GlSink *previous = DefaultGlSink();
        SetDefaultGlSink(&sink);
        const bool opened = doc.OnOpenDocument(path);
        SetDefaultGlSink(previous);
        if (!opened)
            return false;
    }
    report.vertices = doc.m_vertexCount;
    report.faces = doc.m_faceCount;
    report.textureMaps = doc.m_textureMapCount;
    report.modelList = doc.m_modelList;
    float centre[3];
    report.scale = doc.ComputeModelFit(centre);
    CountFaces(doc, report);
    MeasureList(sink, report);
    report.messages = messages.Texts();
    return true;
}

std::string JsonString(const std::string &text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else if (c >= 0x80) {
            // Keep valid UTF-8; a stray byte (a path in another encoding) becomes U+FFFD.
            const size_t length = Utf8Length(text, i);
            if (length == 0) {
                out += "\\ufffd";
                ++i;
                continue;
            }
            out.append(text, i, length);
            i += length;
            continue;
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
    return out + "\"";
}

std::string ReportJson(const InspectReport &r) {
    std::string json = "{\n";
    const auto field = [&json](const char *name, const std::string &value, bool last = false) {
        json += "  \"" + std::string(name) + "\": " + value + (last ? "\n" : ",\n");
    };
    field("file", JsonString(r.file));
    field("vertices", std::to_string(r.vertices));
    field("faces", std::to_string(r.faces));
    field("textureMaps", std::to_string(r.textureMaps));
    field("texturedFaces", std::to_string(r.texturedFaces));
    field("smoothFaces", std::to_string(r.smoothFaces));
    field("degenerateFaces", std::to_string(r.degenerateFaces));
    field("modelList", std::to_string(r.modelList));
    field("colourCommands", std::to_string(r.colourCommands));
    field("listVertices", std::to_string(r.listVertices));
    field("scale", Number(r.scale));
    field("bbox",
          r.hasBox ? "{\"min\": " + Triple(r.boxMin) + ", \"max\": " + Triple(r.boxMax) + "}" : "null");
    std::string list = "[";
    for (size_t i = 0; i < r.messages.size(); ++i)
        list += (i ? ", " : "") + JsonString(r.messages[i]);
    field("messages", list + "]", true);
    return json + "}\n";
}
