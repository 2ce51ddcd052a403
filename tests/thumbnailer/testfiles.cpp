// Writes the files the thumbnailer test feeds it: the reader's hostile files, a
// model too thin to cover a pixel and the 1,024,000-face benchmark model.
// Usage: quor_thumbnailer_testfiles <directory>
#include "tests/fuzz/corpus.h"
#include "tools/3ds/writer3ds.h"
#include "tools/bench/bigmodel.h"

#include <cstdio>
#include <string>

namespace {
bool Save(const std::string &path, const std::vector<uint8_t> &bytes) {
    std::FILE *f = std::fopen(path.c_str(), "wb");
    bool ok = f != nullptr;
    if (f) {
        ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        ok = std::fclose(f) == 0 && ok;
    }
    if (!ok)
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return ok;
}

// One triangle 10 long and 0.00001 wide: kept by the model compiler, but seen at
// any size it covers no pixel's centre, so the picture would be empty.
std::vector<uint8_t> Sliver() {
    Writer3ds w;
    w.Begin(0x4D4D);
    w.Begin(0x3D3D);
    w.Begin(0x4000);
    w.Str("sliver");
    w.Begin(0x4100);
    w.VertexList({0, 0, 0, 10, 0, 0, 10, 0.00001f, 0});
    w.BeginFaceList({0, 1, 2});
    w.End();
    w.End();
    w.End();
    w.End();
    w.End();
    return w.Bytes();
}
} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = true;
    for (const CorpusFile &file : HostileSeeds())
        ok = Save(dir + "/" + file.name + ".3ds", file.bytes) && ok;
    ok = Save(dir + "/sliver.3ds", Sliver()) && ok;
    ok = Save(dir + "/big.3ds", MakeBigModel().Bytes()) && ok;
    return ok ? 0 : 1;
}
