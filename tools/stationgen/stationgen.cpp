// Builds the bundled sample station, data/station.3ds: a long lattice truss,
// a chain of pressurised modules below it, four pairs of solar array wings at
// the truss ends and white radiators, in the file's z-up axes (metres).
//
// The output must be byte-identical on every build, because the committed
// file is checked against it: geometry uses only + - * / and sqrt on doubles
// (all correctly rounded, and built without fused multiply-add), never sin or
// cos, whose last bits vary between C libraries.
#include "tools/3ds/writer3ds.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

struct V3 {
    double x, y, z;
};

V3 operator+(V3 a, V3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
V3 operator-(V3 a, V3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
V3 operator*(double s, V3 v) {
    return {s * v.x, s * v.y, s * v.z};
}
double Dot(V3 a, V3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
V3 Cross(V3 a, V3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
V3 Unit(V3 v) {
    return (1.0 / std::sqrt(Dot(v, v))) * v;
}

struct Material {
    const char *name;
    uint8_t ambient[3];
    uint8_t diffuse[3];
};

const Material kMaterials[] = {
    {"Module", {60, 60, 58}, {230, 230, 222}},   {"Truss", {40, 40, 42}, {150, 150, 158}},
    {"SolarCell", {8, 12, 30}, {30, 45, 120}},   {"SolarBlanket", {50, 40, 15}, {200, 155, 60}},
    {"Radiator", {64, 64, 64}, {252, 252, 252}}, {"Adapter", {30, 30, 32}, {120, 120, 128}},
};

// One mesh object. Triangles are turned so that their counter-clockwise side
// faces the given outward direction, which keeps the many shapes below simple.
class Mesh {
public:
    Mesh(std::string name, bool smooth) : m_name(std::move(name)), m_smooth(smooth) {}

    uint16_t Vertex(V3 p) {
        m_xyz.push_back(static_cast<float>(p.x));
        m_xyz.push_back(static_cast<float>(p.y));
        m_xyz.push_back(static_cast<float>(p.z));
        m_points.push_back(p);
        return static_cast<uint16_t>(m_points.size() - 1);
    }

    void Tri(uint16_t a, uint16_t b, uint16_t c, V3 outward, const char *material) {
        const V3 n = Cross(m_points[b] - m_points[a], m_points[c] - m_points[a]);
        if (Dot(n, outward) < 0)
            std::swap(b, c);
        m_abc.insert(m_abc.end(), {a, b, c});
        m_faceMaterials[material].push_back(static_cast<uint16_t>(m_abc.size() / 3 - 1));
    }

    void Quad(uint16_t a, uint16_t b, uint16_t c, uint16_t d, V3 outward, const char *material) {
        Tri(a, b, c, outward, material);
        Tri(a, c, d, outward, material);
    }

    bool Fits() const { return m_points.size() <= 65535 && m_abc.size() / 3 <= 65535; }
    size_t FaceCount() const { return m_abc.size() / 3; }

    void Write(Writer3ds &w) const {
        w.Begin(0x4000);
        w.Str(m_name);
        w.Begin(0x4100);
        w.VertexList(m_xyz);
        w.BeginFaceList(m_abc);
        for (const auto &[material, faces] : m_faceMaterials)
            w.FaceMaterial(material, faces);
        if (m_smooth)
            w.SmoothList(FaceCount());
        w.End();
        w.End();
        w.End();
    }

private:
    std::string m_name;
    bool m_smooth;
    std::vector<V3> m_points;
    std::vector<float> m_xyz;
    std::vector<uint16_t> m_abc;
    std::map<std::string, std::vector<uint16_t>> m_faceMaterials; // sorted: stable output
};

// Square-section beam from p to q, flat shaded.
void Beam(Mesh &m, V3 p, V3 q, double width, const char *material) {
    const V3 d = q - p;
    const V3 helper = std::fabs(d.z) < 0.9 * std::sqrt(Dot(d, d)) ? V3{0, 0, 1} : V3{1, 0, 0};
    const V3 u = (width * 0.5) * Unit(Cross(d, helper));
    const V3 v = (width * 0.5) * Unit(Cross(d, u));
    const V3 centre = 0.5 * (p + q);
    uint16_t c[8];
    for (int i = 0; i < 8; ++i) {
        const V3 base = (i & 4) ? q : p;
        c[i] = m.Vertex(base + ((i & 1) ? 1.0 : -1.0) * u + ((i & 2) ? 1.0 : -1.0) * v);
    }
    // Each side: the four corners sharing one sign of u or v, in ring order.
    const int sides[4][4] = {{1, 3, 7, 5}, {0, 4, 6, 2}, {2, 6, 7, 3}, {0, 1, 5, 4}};
    const V3 outward[4] = {u, -1.0 * u, v, -1.0 * v};
    for (int s = 0; s < 4; ++s)
        m.Quad(c[sides[s][0]], c[sides[s][1]], c[sides[s][2]], c[sides[s][3]], outward[s], material);
    m.Quad(c[0], c[1], c[3], c[2], p - centre, material);
    m.Quad(c[4], c[5], c[7], c[6], q - centre, material);
}

// Unit circle in 24 steps of 15 degrees, by rotation with exact constants.
std::vector<V3> Circle24() {
    const double c15 = (std::sqrt(6.0) + std::sqrt(2.0)) / 4.0;
    const double s15 = (std::sqrt(6.0) - std::sqrt(2.0)) / 4.0;
    std::vector<V3> ring;
    double c = 1.0, s = 0.0;
    for (int i = 0; i < 24; ++i) {
        ring.push_back({c, s, 0});
        const double nc = c * c15 - s * s15;
        s = s * c15 + c * s15;
        c = nc;
    }
    return ring;
}

// Closed cylinder along one axis direction (a unit axis vector), smoothed. Caps get
// their own corners so the crease between cap and wall stays sharp.
Mesh Cylinder(const std::string &name, V3 from, V3 axis, double length, double radius, int step, int rings,
              const char *material) {
    static const std::vector<V3> circle = Circle24();
    Mesh m(name, true);
    const V3 u = Unit(Cross(axis, std::fabs(axis.z) < 0.9 ? V3{0, 0, 1} : V3{1, 0, 0}));
    const V3 v = Cross(axis, u);
    std::vector<V3> dirs;
    for (size_t i = 0; i < circle.size(); i += step)
        dirs.push_back(circle[i].x * u + circle[i].y * v);
    const size_t n = dirs.size();

    std::vector<std::vector<uint16_t>> wall(rings + 1);
    for (int r = 0; r <= rings; ++r) {
        const V3 centre = from + (length * r / rings) * axis;
        for (const V3 &d : dirs)
            wall[r].push_back(m.Vertex(centre + radius * d));
    }
    for (int r = 0; r < rings; ++r) {
        for (size_t i = 0; i < n; ++i) {
            const size_t j = (i + 1) % n;
            m.Quad(wall[r][i], wall[r][j], wall[r + 1][j], wall[r + 1][i], dirs[i] + dirs[j], material);
        }
    }
    for (int end = 0; end < 2; ++end) {
        const V3 centre = from + (end ? length : 0.0) * axis;
        const V3 outward = (end ? 1.0 : -1.0) * axis;
        const uint16_t hub = m.Vertex(centre);
        std::vector<uint16_t> rim;
        for (const V3 &d : dirs)
            rim.push_back(m.Vertex(centre + radius * d));
        for (size_t i = 0; i < n; ++i)
            m.Tri(hub, rim[i], rim[(i + 1) % n], outward, material);
    }
    return m;
}

// Flat rectangular sheet from corner o over edges a and b, cut into cells;
// the front faces +normal in one material, a slightly offset back in another.
void Sheet(Mesh &m, V3 o, V3 a, V3 b, int cellsA, int cellsB, const char *front, const char *back) {
    const V3 normal = Unit(Cross(a, b));
    for (int side = 0; side < 2; ++side) {
        const V3 origin = o + (side ? -0.15 : 0.0) * normal;
        std::vector<std::vector<uint16_t>> grid(cellsA + 1);
        for (int i = 0; i <= cellsA; ++i) {
            for (int j = 0; j <= cellsB; ++j)
                grid[i].push_back(m.Vertex(origin + (double(i) / cellsA) * a + (double(j) / cellsB) * b));
        }
        for (int i = 0; i < cellsA; ++i) {
            for (int j = 0; j < cellsB; ++j)
                m.Quad(grid[i][j], grid[i + 1][j], grid[i + 1][j + 1], grid[i][j + 1],
                       (side ? -1.0 : 1.0) * normal, side ? back : front);
        }
    }
}

Mesh Truss() {
    Mesh m("ITS_Truss", false);
    const double half = 56.0, step = 7.0, h = 2.0;
    const int segments = static_cast<int>(2 * half / step);
    for (int k = 0; k < 4; ++k) {
        const double y = (k & 1) ? h : -h, z = (k & 2) ? h : -h;
        Beam(m, {-half, y, z}, {half, y, z}, 0.35, "Truss");
    }
    for (int s = 0; s <= segments; ++s) {
        const double x = -half + s * step;
        Beam(m, {x, -h, -h}, {x, h, -h}, 0.3, "Truss");
        Beam(m, {x, -h, h}, {x, h, h}, 0.3, "Truss");
        Beam(m, {x, -h, -h}, {x, -h, h}, 0.3, "Truss");
        Beam(m, {x, h, -h}, {x, h, h}, 0.3, "Truss");
    }
    for (int s = 0; s < segments; ++s) {
        const double x0 = -half + s * step, x1 = x0 + step;
        const double flip = (s % 2) ? 1.0 : -1.0; // diagonals zig-zag along the truss
        for (double side : {-h, h}) {
            Beam(m, {x0, -flip * h, side}, {x1, flip * h, side}, 0.25, "Truss");
            Beam(m, {x0, side, -flip * h}, {x1, side, flip * h}, 0.25, "Truss");
        }
    }
    return m;
}

// One wing: a gold mast along y with a blanket of cells either side.
Mesh Wing(const std::string &name, double xc, double side) {
    Mesh m(name, false);
    const double y0 = side * 2.5, y1 = side * 35.0;
    Beam(m, {xc, y0, 0}, {xc, y1, 0}, 0.4, "SolarBlanket");
    const V3 along{0, y1 - side * 3.0, 0};
    // Sheets whose counter-clockwise side faces +z: cells face up.
    for (double x0 : {xc - 5.5, xc + 0.3}) {
        const V3 o{x0, side * 3.0, 0};
        if (side > 0)
            Sheet(m, o, {5.2, 0, 0}, along, 2, 16, "SolarCell", "SolarBlanket");
        else
            Sheet(m, o, along, {5.2, 0, 0}, 16, 2, "SolarCell", "SolarBlanket");
    }
    return m;
}

Mesh Radiator(const std::string &name, double x) {
    Mesh m(name, false);
    Beam(m, {x, 2.0, 0}, {x, 4.0, 0}, 0.5, "Truss");
    Sheet(m, {x, 4.0, -1.6}, {0, 20.0, 0}, {0, 0, 3.2}, 8, 1, "Radiator", "Radiator");
    return m;
}

std::vector<Mesh> Station() {
    std::vector<Mesh> meshes;
    meshes.push_back(Truss());

    // Pressurised modules, a chain along y under the truss, with side modules along x.
    const double z = -4.4;
    const V3 fore{0, 1, 0}, starboard{1, 0, 0};
    meshes.push_back(Cylinder("PMA2", {0, 16.0, z}, fore, 3.0, 1.1, 2, 1, "Adapter"));
    meshes.push_back(Cylinder("Harmony", {0, 9.0, z}, fore, 7.0, 2.2, 1, 2, "Module"));
    meshes.push_back(Cylinder("Destiny", {0, -4.5, z}, fore, 13.5, 2.2, 1, 3, "Module"));
    meshes.push_back(Cylinder("Unity", {0, -11.0, z}, fore, 6.5, 2.2, 1, 2, "Module"));
    meshes.push_back(Cylinder("PMA1", {0, -12.0, z}, fore, 1.0, 1.3, 2, 1, "Adapter"));
    meshes.push_back(Cylinder("Zarya", {0, -24.5, z}, fore, 12.5, 2.05, 1, 3, "Module"));
    meshes.push_back(Cylinder("Zvezda", {0, -37.5, z}, fore, 13.0, 2.1, 1, 3, "Module"));
    meshes.push_back(Cylinder("Columbus", {2.2, 12.5, z}, starboard, 7.0, 2.2, 1, 2, "Module"));
    meshes.push_back(Cylinder("Kibo", {-13.4, 12.5, z}, starboard, 11.2, 2.2, 1, 2, "Module"));
    meshes.push_back(Cylinder("Quest", {2.2, -7.75, z}, starboard, 5.0, 1.8, 1, 2, "Module"));

    // Zvezda's own small wings.
    Mesh small("Zvezda_Arrays", false);
    Sheet(small, {2.3, -35.0, z}, {10.0, 0, 0}, {0, 3.0, 0}, 6, 1, "SolarCell", "SolarBlanket");
    Sheet(small, {-12.3, -35.0, z}, {10.0, 0, 0}, {0, 3.0, 0}, 6, 1, "SolarCell", "SolarBlanket");
    meshes.push_back(std::move(small));

    // Four wing pairs near the truss ends, each pair reaching fore and aft.
    const struct {
        const char *name;
        double x;
    } arrays[] = {{"P6", -50.0}, {"P4", -38.0}, {"S4", 38.0}, {"S6", 50.0}};
    for (const auto &a : arrays) {
        meshes.push_back(Wing(std::string(a.name) + "_Wing_Fore", a.x, 1.0));
        meshes.push_back(Wing(std::string(a.name) + "_Wing_Aft", a.x, -1.0));
    }

    meshes.push_back(Radiator("S1_Radiator_A", 20.0));
    meshes.push_back(Radiator("S1_Radiator_B", 24.0));
    meshes.push_back(Radiator("P1_Radiator_A", -20.0));
    meshes.push_back(Radiator("P1_Radiator_B", -24.0));
    return meshes;
}

void WriteMaterial(Writer3ds &w, const Material &mat) {
    w.Begin(0xAFFF);
    w.Begin(0xA000);
    w.Str(mat.name);
    w.End();
    w.Color24(0xA010, mat.ambient[0], mat.ambient[1], mat.ambient[2]);
    w.Color24(0xA020, mat.diffuse[0], mat.diffuse[1], mat.diffuse[2]);
    w.Color24(0xA030, 230, 230, 230);
    w.End();
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: quor-stationgen OUT.3ds\n");
        return 2;
    }
    const std::vector<Mesh> meshes = Station();
    size_t faces = 0;
    for (const Mesh &m : meshes) {
        if (!m.Fits()) {
            std::fprintf(stderr, "quor-stationgen: a mesh exceeds the 65535 limit of the format\n");
            return 1;
        }
        faces += m.FaceCount();
    }

    Writer3ds w;
    w.Begin(0x4D4D);
    w.Begin(0x0002); // file version
    w.U32(3);
    w.End();
    w.Begin(0x3D3D);
    w.Begin(0x3D3E); // mesh version
    w.U32(3);
    w.End();
    for (const Material &mat : kMaterials)
        WriteMaterial(w, mat);
    for (const Mesh &m : meshes)
        m.Write(w);
    w.End();
    w.End();

    if (!w.Save(argv[1])) {
        std::fprintf(stderr, "quor-stationgen: cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%s: %zu objects, %zu faces, %zu bytes\n", argv[1], meshes.size(), faces, w.Size());
    return 0;
}
