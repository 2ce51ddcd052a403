// quor-benchmodels OUTDIR: writes the models the picture benchmark draws.
//   OUTDIR/midsize.3ds  about 31,000 faces, laid out the way models from other
//                       tools usually are: a dozen or so named objects of mixed
//                       size and tessellation, several materials with diffuse
//                       colours, face-material lists and smoothing groups.
//   OUTDIR/large.3ds    the 1,024,000-face model of the other benchmarks.
// The files are made afresh on every run so that nothing large sits in the tree.
#include "tools/3ds/writer3ds.h"
#include "tools/bench/bigmodel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct V3 {
    double x, y, z;
};

V3 operator+(V3 a, V3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
V3 operator*(double s, V3 v) {
    return {s * v.x, s * v.y, s * v.z};
}

struct Material {
    const char *name;
    uint8_t ambient[3];
    uint8_t diffuse[3];
    uint8_t specular[3];
};

const Material kPalette[] = {
    {"HULL_WHITE", {50, 50, 48}, {225, 224, 216}, {250, 250, 250}},
    {"MLI_GOLD", {45, 35, 10}, {205, 160, 62}, {255, 230, 160}},
    {"SOLAR_CELL", {6, 10, 28}, {32, 48, 128}, {120, 140, 200}},
    {"FRAME_GREY", {25, 25, 27}, {92, 92, 100}, {160, 160, 160}},
    {"RADIATOR", {60, 60, 60}, {246, 246, 246}, {200, 200, 200}},
    {"MARKING_RED", {40, 8, 8}, {175, 32, 28}, {220, 120, 120}},
    {"WINDOW", {4, 4, 8}, {22, 24, 36}, {255, 255, 255}},
};

// One named object: world-space corners, triangles with a material and a
// smoothing-group mask each (0: flat), as 3D Studio stores them.
class Mesh {
public:
    explicit Mesh(std::string name) : m_name(std::move(name)) {}

    uint32_t Vertex(V3 p) {
        m_points.push_back(p);
        return static_cast<uint32_t>(m_points.size() - 1);
    }
    void Tri(uint32_t a, uint32_t b, uint32_t c, int material, uint32_t smooth) {
        m_faces.push_back({a, b, c, material, smooth});
    }
    void Quad(uint32_t a, uint32_t b, uint32_t c, uint32_t d, int material, uint32_t smooth) {
        Tri(a, b, c, material, smooth);
        Tri(a, c, d, material, smooth);
    }
    size_t FaceCount() const { return m_faces.size(); }
    size_t VertexCount() const { return m_points.size(); }
    const std::string &Name() const { return m_name; }

    // Objects without any smoothing group get no smoothing list, as exporters do.
    void Write(Writer3ds &w) const {
        std::vector<float> xyz;
        V3 lo = m_points.front(), hi = m_points.front();
        for (const V3 &p : m_points) {
            xyz.insert(xyz.end(),
                       {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)});
            lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
            hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
        }
        std::vector<uint16_t> abc;
        bool anySmooth = false;
        for (const Face &f : m_faces) {
            abc.insert(abc.end(),
                       {static_cast<uint16_t>(f.a), static_cast<uint16_t>(f.b), static_cast<uint16_t>(f.c)});
            anySmooth = anySmooth || f.smooth != 0;
        }
        w.Begin(0x4000);
        w.Str(m_name);
        w.Begin(0x4100);
        w.VertexList(xyz);
        // Local axes: identity, pivot at the centre of the bounds.
        const V3 centre = 0.5 * (lo + hi);
        w.Begin(0x4160);
        for (float v : {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f})
            w.F32(v);
        w.F32(static_cast<float>(centre.x));
        w.F32(static_cast<float>(centre.y));
        w.F32(static_cast<float>(centre.z));
        w.End();
        w.BeginFaceList(abc);
        for (int m = 0; m < static_cast<int>(std::size(kPalette)); ++m) {
            std::vector<uint16_t> list;
            for (size_t i = 0; i < m_faces.size(); ++i)
                if (m_faces[i].material == m)
                    list.push_back(static_cast<uint16_t>(i));
            if (!list.empty())
                w.FaceMaterial(kPalette[m].name, list);
        }
        if (anySmooth) {
            w.Begin(0x4150);
            for (const Face &f : m_faces)
                w.U32(f.smooth);
            w.End();
        }
        w.End(); // face list
        w.End(); // triangle mesh
        w.End(); // named object
    }

private:
    struct Face {
        uint32_t a, b, c;
        int material;
        uint32_t smooth;
    };
    std::string m_name;
    std::vector<V3> m_points;
    std::vector<Face> m_faces;
};

// Closed cylinder along x from x0 to x1; walls in smoothing group 1, caps flat.
// Every stripeEvery-th ring band takes the stripe material (0: none).
Mesh Cylinder(const std::string &name, V3 base, double length, double radius, int segments, int rings,
              int material, int stripeEvery, int stripeMaterial) {
    Mesh m(name);
    std::vector<uint32_t> ring[2];
    std::vector<uint32_t> first, previous;
    for (int r = 0; r <= rings; ++r) {
        std::vector<uint32_t> current;
        const double x = base.x + length * r / rings;
        for (int s = 0; s < segments; ++s) {
            const double a = 2 * kPi * s / segments;
            current.push_back(m.Vertex({x, base.y + radius * std::cos(a), base.z + radius * std::sin(a)}));
        }
        if (r > 0) {
            const int mat = stripeEvery > 0 && r % stripeEvery == 0 ? stripeMaterial : material;
            for (int s = 0; s < segments; ++s) {
                const int t = (s + 1) % segments;
                m.Quad(previous[s], previous[t], current[t], current[s], mat, 1);
            }
        } else {
            first = current;
        }
        previous = current;
    }
    // Caps: fans around a centre corner, with corners of their own so the rim stays sharp.
    for (int end = 0; end < 2; ++end) {
        const double x = base.x + (end ? length : 0.0);
        const uint32_t centre = m.Vertex({x, base.y, base.z});
        std::vector<uint32_t> rim;
        for (int s = 0; s < segments; ++s) {
            const double a = 2 * kPi * s / segments;
            rim.push_back(m.Vertex({x, base.y + radius * std::cos(a), base.z + radius * std::sin(a)}));
        }
        for (int s = 0; s < segments; ++s) {
            const int t = (s + 1) % segments;
            if (end)
                m.Tri(centre, rim[s], rim[t], material, 0);
            else
                m.Tri(centre, rim[t], rim[s], material, 0);
        }
    }
    return m;
}

// UV sphere; the band around the equator is windows.
Mesh Sphere(const std::string &name, V3 centre, double radius, int segments, int stacks, int material,
            int bandMaterial) {
    Mesh m(name);
    const uint32_t south = m.Vertex(centre + V3{0, 0, -radius});
    std::vector<std::vector<uint32_t>> rows;
    for (int k = 1; k < stacks; ++k) {
        const double phi = -kPi / 2 + kPi * k / stacks;
        std::vector<uint32_t> row;
        for (int s = 0; s < segments; ++s) {
            const double a = 2 * kPi * s / segments;
            row.push_back(m.Vertex(centre + radius * V3{std::cos(phi) * std::cos(a),
                                                        std::cos(phi) * std::sin(a), std::sin(phi)}));
        }
        rows.push_back(row);
    }
    const uint32_t north = m.Vertex(centre + V3{0, 0, radius});
    for (int s = 0; s < segments; ++s) {
        const int t = (s + 1) % segments;
        m.Tri(south, rows.front()[t], rows.front()[s], material, 1);
        m.Tri(north, rows.back()[s], rows.back()[t], material, 1);
    }
    for (size_t k = 0; k + 1 < rows.size(); ++k) {
        const bool band = k + 1 == rows.size() / 2 || k == rows.size() / 2;
        for (int s = 0; s < segments; ++s) {
            const int t = (s + 1) % segments;
            m.Quad(rows[k][s], rows[k][t], rows[k + 1][t], rows[k + 1][s], band ? bandMaterial : material, 1);
        }
    }
    return m;
}

// Axis-aligned box of the given size, added to an existing mesh; flat.
void Box(Mesh &m, V3 centre, V3 size, int material) {
    uint32_t c[8];
    for (int i = 0; i < 8; ++i)
        c[i] = m.Vertex(centre + V3{(i & 1 ? 0.5 : -0.5) * size.x, (i & 2 ? 0.5 : -0.5) * size.y,
                                    (i & 4 ? 0.5 : -0.5) * size.z});
    const int sides[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                             {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto &s : sides)
        m.Quad(c[s[0]], c[s[1]], c[s[2]], c[s[3]], material, 0);
}

// Flat panel in the x-y plane at height z, cells x cells, framed: the outer ring of
// cells and every frameEvery-th row take the frame material.
Mesh Panel(const std::string &name, V3 corner, double width, double height, int cellsW, int cellsH,
           int material, int frameMaterial, int frameEvery, uint32_t smooth) {
    Mesh m(name);
    std::vector<uint32_t> grid;
    for (int j = 0; j <= cellsH; ++j)
        for (int i = 0; i <= cellsW; ++i)
            grid.push_back(m.Vertex(corner + V3{width * i / cellsW, height * j / cellsH, 0}));
    for (int j = 0; j < cellsH; ++j)
        for (int i = 0; i < cellsW; ++i) {
            const bool frame = i == 0 || j == 0 || i == cellsW - 1 || j == cellsH - 1 ||
                               (frameEvery > 0 && j % frameEvery == 0);
            const uint32_t a = static_cast<uint32_t>(j * (cellsW + 1) + i);
            const uint32_t b = a + static_cast<uint32_t>(cellsW + 1);
            m.Quad(a, a + 1, b + 1, b, frame ? frameMaterial : material, smooth);
        }
    return m;
}

// Shallow dish opening towards +z, apex at the given point, with a feed boom.
Mesh Dish(const std::string &name, V3 apex, double radius, double depth, int segments, int rings,
          int material) {
    Mesh m(name);
    const uint32_t centre = m.Vertex(apex);
    std::vector<std::vector<uint32_t>> rows;
    for (int k = 1; k <= rings; ++k) {
        const double r = radius * k / rings;
        std::vector<uint32_t> row;
        for (int s = 0; s < segments; ++s) {
            const double a = 2 * kPi * s / segments;
            row.push_back(
                m.Vertex(apex + V3{r * std::cos(a), r * std::sin(a), depth * (r / radius) * (r / radius)}));
        }
        rows.push_back(row);
    }
    for (int s = 0; s < segments; ++s)
        m.Tri(centre, rows[0][s], rows[0][(s + 1) % segments], material, 2);
    for (size_t k = 0; k + 1 < rows.size(); ++k)
        for (int s = 0; s < segments; ++s) {
            const int t = (s + 1) % segments;
            m.Quad(rows[k][s], rows[k + 1][s], rows[k + 1][t], rows[k][t], material, 2);
        }
    Box(m, apex + V3{0, 0, depth * 0.9}, {0.12, 0.12, depth * 1.8}, 3);
    return m;
}

// A spacecraft of a dozen objects: pressurised modules on a long axis, a node
// sphere, a truss with four solar wings, radiators, a dish and a docking port.
std::vector<Mesh> MidsizeModel() {
    std::vector<Mesh> objects;
    objects.push_back(Cylinder("Core_Module", {-6, 0, 0}, 12.0, 2.1, 72, 44, 0, 11, 5));
    objects.push_back(Sphere("Node_1", {8.4, 0, 0}, 2.4, 48, 32, 0, 6));
    objects.push_back(Cylinder("Lab_Module", {10.6, 0, 0}, 9.0, 2.0, 56, 32, 0, 8, 1));
    objects.push_back(Cylinder("Hab_Module", {-13.5, 0, 0}, 7.5, 2.2, 56, 24, 1, 6, 0));
    objects.push_back(Cylinder("Docking_Port", {19.6, 0, 0}, 1.4, 0.8, 32, 4, 3, 0, 0));

    Mesh truss("Main_Truss");
    for (int i = 0; i <= 30; ++i) { // longerons and battens of a square lattice
        const double y = -15.0 + i;
        for (int k = 0; k < 4; ++k)
            Box(truss, {(k & 1 ? 0.45 : -0.45), y, 3.2 + (k & 2 ? 0.45 : -0.45)}, {0.08, 1.0, 0.08}, 3);
        Box(truss, {0, y, 2.75}, {0.9, 0.06, 0.06}, 3);
        Box(truss, {0, y, 3.65}, {0.9, 0.06, 0.06}, 3);
    }
    objects.push_back(std::move(truss));

    const char *wings[] = {"Solar_Array_P1", "Solar_Array_P2", "Solar_Array_S1", "Solar_Array_S2"};
    for (int w = 0; w < 4; ++w) {
        const double y = w < 2 ? -16.4 : 12.8;
        const double x = w % 2 ? 0.8 : -16.8;
        objects.push_back(Panel(wings[w], {x, y, 3.2}, 16.0, 3.6, 64, 16, 2, 1, 5, 0));
    }
    objects.push_back(Panel("Radiator_Port", {-4.0, -9.0, 4.2}, 8.0, 3.0, 32, 10, 4, 3, 0, 4));
    objects.push_back(Panel("Radiator_Stbd", {-4.0, 6.0, 4.2}, 8.0, 3.0, 32, 10, 4, 3, 0, 4));
    objects.push_back(Dish("HighGain_Antenna", {2.0, 0, 5.8}, 1.3, 0.45, 64, 18, 0));

    Mesh arm("Robot_Arm"); // booms made of thin boxes, tessellated for the elbow bends
    for (int i = 0; i < 60; ++i) {
        const double t = i / 60.0;
        Box(arm, {-2.0 + 6.0 * t, -2.6, 2.6 + 1.8 * std::sin(kPi * t)}, {0.16, 0.22, 0.22}, 0);
    }
    objects.push_back(std::move(arm));
    return objects;
}

bool WriteFile(const Writer3ds &w, const std::filesystem::path &path) {
    if (!w.Save(path.string())) {
        std::fprintf(stderr, "quor-benchmodels: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2 || argv[1][0] == '\0') {
        std::fputs("usage: quor-benchmodels OUTDIR\n"
                   "Writes OUTDIR/midsize.3ds (about 31,000 faces in a dozen objects) and\n"
                   "OUTDIR/large.3ds (1,024,000 faces), the models the picture benchmark draws.\n",
                   stderr);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error || !std::filesystem::is_directory(dir)) {
        std::fprintf(stderr, "quor-benchmodels: %s is not a folder that can be made or used%s%s\n", argv[1],
                     error ? ": " : "", error ? error.message().c_str() : "");
        return 1;
    }

    const std::vector<Mesh> objects = MidsizeModel();
    size_t faces = 0;
    for (const Mesh &m : objects) {
        // 3D Studio indexes corners and faces with 16 bits.
        if (m.FaceCount() > 65535 || m.VertexCount() > 65535) {
            std::fprintf(stderr, "quor-benchmodels: object %s is too big for a .3ds file\n",
                         m.Name().c_str());
            return 1;
        }
        faces += m.FaceCount();
    }
    Writer3ds w;
    w.Begin(0x4D4D);
    w.Leaf(0x0002, {3, 0, 0, 0});
    w.Begin(0x3D3D);
    w.Leaf(0x3D3E, {3, 0, 0, 0});
    for (const Material &m : kPalette) {
        w.Begin(0xAFFF);
        w.Begin(0xA000);
        w.Str(m.name);
        w.End();
        w.Color24(0xA010, m.ambient[0], m.ambient[1], m.ambient[2]);
        w.Color24(0xA020, m.diffuse[0], m.diffuse[1], m.diffuse[2]);
        w.Color24(0xA030, m.specular[0], m.specular[1], m.specular[2]);
        w.End();
    }
    w.Begin(0x0100); // master scale: one unit is one metre
    w.F32(1.0f);
    w.End();
    for (const Mesh &m : objects)
        m.Write(w);
    w.End();
    w.Begin(0xB000);
    w.Leaf(0xB00A, {5, 0, 'M', 'I', 'D', 'S', 'I', 'Z', 'E', 0, 100, 0, 0, 0});
    w.End();
    w.End();
    if (!WriteFile(w, dir / "midsize.3ds"))
        return 1;
    std::printf("%s: %zu objects, %zu faces\n", (dir / "midsize.3ds").c_str(), objects.size(), faces);

    if (!WriteFile(MakeBigModel(), dir / "large.3ds"))
        return 1;
    std::printf("%s: %d objects, %d faces\n", (dir / "large.3ds").c_str(), kObjects,
                kObjects * kGridW * kGridH * 2);
    return 0;
}
