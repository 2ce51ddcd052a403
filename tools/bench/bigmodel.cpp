#include "bigmodel.h"

#include <string>
#include <vector>

namespace {

std::string MaterialName(int m) {
    return "Material" + std::to_string(m);
}

} // namespace

Writer3ds MakeBigModel() {
    Writer3ds w;
    w.Begin(0x4D4D);
    w.Leaf(0x0002, {3, 0, 0, 0});
    w.Begin(0x3D3D);
    for (int m = 0; m < kMaterials; ++m) {
        w.Begin(0xAFFF);
        w.Begin(0xA000);
        w.Str(MaterialName(m));
        w.End();
        w.Color24(0xA010, 10, 10, 10);
        w.Color24(0xA020, static_cast<uint8_t>(20 * m), static_cast<uint8_t>(255 - 20 * m), 128);
        w.Color24(0xA030, 255, 255, 255);
        if (m % 3 == 0)
            w.Map(0xA200, "panel" + std::to_string(m) + ".gif");
        w.End();
    }
    std::vector<float> xyz, uv;
    std::vector<uint16_t> abc;
    for (int o = 0; o < kObjects; ++o) {
        xyz.clear();
        uv.clear();
        abc.clear();
        const float ox = static_cast<float>(o % 16) * 100.0f, oy = static_cast<float>(o / 16) * 60.0f;
        for (int y = 0; y <= kGridH; ++y)
            for (int x = 0; x <= kGridW; ++x) {
                xyz.insert(xyz.end(), {ox + static_cast<float>(x), oy + static_cast<float>(y),
                                       static_cast<float>((x * 7 + y * 3 + o) % 11) * 0.3f});
                uv.insert(uv.end(), {static_cast<float>(x) / kGridW, static_cast<float>(y) / kGridH});
            }
        for (int y = 0; y < kGridH; ++y)
            for (int x = 0; x < kGridW; ++x) {
                const auto i = static_cast<uint16_t>(y * (kGridW + 1) + x);
                const auto j = static_cast<uint16_t>(i + kGridW + 1);
                abc.insert(abc.end(), {i, static_cast<uint16_t>(i + 1), j, static_cast<uint16_t>(i + 1),
                                       static_cast<uint16_t>(j + 1), j});
            }
        const size_t faces = abc.size() / 3;
        w.Begin(0x4000);
        w.Str("Part" + std::to_string(o));
        w.Begin(0x4100);
        w.VertexList(xyz);
        w.MappingList(uv);
        w.BeginFaceList(abc);
        for (int k = 0; k < 4; ++k) { // four materials in stripes
            std::vector<uint16_t> list;
            for (size_t f = static_cast<size_t>(k); f < faces; f += 4)
                list.push_back(static_cast<uint16_t>(f));
            w.FaceMaterial(MaterialName((o + k) % kMaterials), list);
        }
        w.SmoothList(faces, 1u << (o % 32));
        w.End();
        w.End();
        w.End();
    }
    w.End();
    w.Begin(0xB000);
    w.Leaf(0xB00A, {5, 0, 'S', 'T', 'A', 'T', 'I', 'O', 'N', 0, 100, 0, 0, 0});
    w.End();
    w.End();
    return w;
}
