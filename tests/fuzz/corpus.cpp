#include "corpus.h"

#include "tools/3ds/writer3ds.h"

#include <cstdio>

namespace {
void Material(Writer3ds &w, const std::string &name, uint8_t r, uint8_t g, uint8_t b, bool maps) {
    w.Begin(0xAFFF);
    w.Begin(0xA000);
    w.Str(name);
    w.End();
    w.Color24(0xA010, r / 2, g / 2, b / 2);
    w.Color24(0xA020, r, g, b);
    w.Color24(0xA030, 255, 255, 255);
    if (maps) {
        w.Map(0xA210, name + "_o.gif");
        w.Map(0xA200, name + ".gif");
        w.Map(0xA220, "env.gif");
        w.Map(0xA230, "bump.gif");
    }
    w.End();
}

// A w x h grid of quads, two triangles each.
void Mesh(Writer3ds &w, const std::string &name, int gw, int gh, const std::vector<std::string> &materials,
          bool mapping, bool smooth) {
    std::vector<float> xyz, uv;
    std::vector<uint16_t> abc;
    for (int y = 0; y <= gh; ++y)
        for (int x = 0; x <= gw; ++x) {
            xyz.insert(xyz.end(), {float(x), float(y), float(x * y) * 0.1f});
            uv.insert(uv.end(), {float(x) / float(gw), float(y) / float(gh)});
        }
    for (int y = 0; y < gh; ++y)
        for (int x = 0; x < gw; ++x) {
            const auto i = static_cast<uint16_t>(y * (gw + 1) + x);
            const auto below = static_cast<uint16_t>(i + gw + 1);
            abc.insert(abc.end(), {i, static_cast<uint16_t>(i + 1), below, static_cast<uint16_t>(i + 1),
                                   static_cast<uint16_t>(below + 1), below});
        }
    const size_t faces = abc.size() / 3;
    w.Begin(0x4000);
    w.Str(name);
    w.Begin(0x4100);
    w.VertexList(xyz);
    if (mapping)
        w.MappingList(uv);
    w.BeginFaceList(abc);
    for (size_t m = 0; m < materials.size(); ++m) {
        std::vector<uint16_t> list;
        for (size_t f = m; f < faces; f += materials.size())
            list.push_back(static_cast<uint16_t>(f));
        w.FaceMaterial(materials[m], list);
    }
    if (smooth)
        w.SmoothList(faces);
    w.End();
    w.Leaf(0x4160, std::vector<uint8_t>(48, 0)); // local axes
    w.End();
    w.End();
}

void Light(Writer3ds &w) {
    w.Begin(0x4000);
    w.Str("Omni01");
    w.Begin(0x4600);
    w.F32(10);
    w.F32(20);
    w.F32(30);
    w.Color24(0x0010, 1, 1, 1);
    w.End();
    w.End();
}

template <class F> CorpusFile File(const std::string &name, F editor, bool keyframes) {
    Writer3ds w;
    w.Begin(0x4D4D);
    w.Leaf(0x0002, {3, 0, 0, 0});
    w.Begin(0x3D3D);
    w.Leaf(0x3D3E, {3, 0, 0, 0});
    editor(w);
    w.End();
    if (keyframes) {
        w.Begin(0xB000);
        w.Leaf(0xB00A, {5, 0, 'M', 'A', 'X', 'S', 'C', 'E', 'N', 'E', 0, 100, 0, 0, 0});
        w.End();
    }
    w.End();
    return {name, w.Bytes()};
}
} // namespace

std::vector<CorpusFile> SeedCorpus() {
    std::vector<CorpusFile> files;
    files.push_back(File(
        "plain", [](Writer3ds &w) { Mesh(w, "tri", 1, 1, {}, false, false); }, false));
    files.push_back(File(
        "station",
        [](Writer3ds &w) {
            Material(w, "Hull", 200, 200, 210, false);
            Material(w, "Panel", 30, 40, 160, true);
            Mesh(w, "truss", 3, 2, {"Hull", "Panel"}, true, true);
            Light(w);
            Mesh(w, "pod", 2, 2, {"Panel", "Missing"}, false, false);
        },
        true));
    files.push_back(File(
        "late_material",
        [](Writer3ds &w) {
            Mesh(w, "early", 2, 1, {"Late"}, true, true);
            Material(w, "Late", 1, 2, 3, true);
        },
        true));
    files.push_back(File(
        "parts",
        [](Writer3ds &w) {
            Material(w, "A", 9, 9, 9, true);
            for (int i = 0; i < 4; ++i)
                Mesh(w, "part" + std::to_string(i), 1 + i, 1, {"A"}, i % 2 == 0, i % 2 == 1);
        },
        false));
    return files;
}

namespace {
// Main and editor chunk around `editor`; the lengths cover everything.
template <class F> std::vector<uint8_t> Editor(F editor) {
    Writer3ds w;
    w.Begin(0x4D4D);
    w.Begin(0x3D3D);
    editor(w);
    w.End();
    w.End();
    return w.Bytes();
}

// A list header that claims 65535 entries but whose length holds only the count.
void ClaimingHeader(Writer3ds &w, uint16_t id) {
    w.U16(id);
    w.U32(8);
    w.U16(65535);
}

std::string Numbered(const char *prefix, int i) {
    char name[16];
    std::snprintf(name, sizeof name, "%s%05d", prefix, i);
    return name;
}
} // namespace

std::vector<uint8_t> OverlappingVertexLists(int lists) {
    return Editor([&](Writer3ds &w) {
        w.Begin(0x4000);
        w.Str("x");
        w.Begin(0x4100);
        w.VertexList({0, 0, 0, 1, 0, 0, 0, 1, 0});
        w.BeginFaceList({0, 1, 2});
        w.End();
        for (int i = 0; i < lists; ++i)
            ClaimingHeader(w, 0x4110);
        w.End();
        w.End();
    });
}

std::vector<uint8_t> OverlappingFaceLists(int vertices, int lists) {
    return Editor([&](Writer3ds &w) {
        w.Begin(0x4000);
        w.Str("x");
        w.Begin(0x4100);
        std::vector<float> xyz;
        for (int i = 0; i < vertices; ++i)
            xyz.insert(xyz.end(), {float(i % 97), float(i / 97), float(i % 7)});
        w.VertexList(xyz);
        for (int i = 0; i < lists; ++i)
            ClaimingHeader(w, 0x4120);
        w.End();
        w.End();
    });
}

std::vector<uint8_t> ManyObjects(int objects) {
    return Editor([&](Writer3ds &w) {
        for (int i = 0; i < objects; ++i) {
            w.Begin(0x4000);
            w.Str("");
            w.End();
        }
    });
}

std::vector<uint8_t> ManyFaceMaterialLists(int materials) {
    return Editor([&](Writer3ds &w) {
        for (int i = 0; i < materials; ++i) {
            w.Begin(0xAFFF);
            w.Begin(0xA000);
            w.Str(Numbered("M", i));
            w.End();
            w.Color24(0xA020, 1, 2, 3);
            w.End();
        }
        w.Begin(0x4000);
        w.Str("x");
        w.Begin(0x4100);
        w.VertexList({0, 0, 0, 1, 0, 0, 0, 1, 0});
        w.BeginFaceList({0, 1, 2});
        for (int i = 0; i < materials; ++i)
            w.FaceMaterial("None", {});
        w.End();
        w.End();
        w.End();
    });
}

std::vector<uint8_t> ManyTextureMaps(int materials) {
    return Editor([&](Writer3ds &w) {
        for (int i = 0; i < materials; ++i) {
            w.Begin(0xAFFF);
            w.Begin(0xA000);
            w.Str(Numbered("M", i));
            w.End();
            w.Map(0xA200, "t.gif");
            w.End();
        }
    });
}

std::vector<uint8_t> ManySmallLists(int pairs) {
    return Editor([&](Writer3ds &w) {
        w.Begin(0x4000);
        w.Str("x");
        w.Begin(0x4100);
        for (int i = 0; i < pairs; ++i) {
            w.VertexList({float(i), 0, 0});
            w.BeginFaceList({0, 0, 0});
            w.End();
        }
        w.End();
        w.End();
    });
}

std::vector<uint8_t> ChainedWalks(int links) {
    return Editor([&](Writer3ds &w) {
        // An object's length reaches just past its mesh header, to the next object,
        // which lies in the body of a chunk the mesh walk steps over.
        for (int i = 0; i < links; ++i) {
            w.U16(0x4000);
            w.U32(6 + 1 + 6 + 6);
            w.Str("");
            w.U16(0x4100);
            w.U32(6);
            w.U16(0x4160);
            w.U32(6 + 6 + 1 + 6);
        }
        // The same with material blocks and an unused material chunk.
        for (int i = 0; i < links; ++i) {
            w.U16(0xAFFF);
            w.U32(6 + 6);
            w.U16(0xA040);
            w.U32(6 + 6);
        }
    });
}

std::vector<CorpusFile> HostileSeeds() {
    return {{"overlapping_vertex_lists", OverlappingVertexLists(1000)},
            {"overlapping_face_lists", OverlappingFaceLists(16673, 1000)},
            {"many_objects", ManyObjects(2000)},
            {"many_face_material_lists", ManyFaceMaterialLists(500)},
            {"many_texture_maps", ManyTextureMaps(500)},
            {"many_small_lists", ManySmallLists(2000)},
            {"chained_walks", ChainedWalks(1000)}};
}
