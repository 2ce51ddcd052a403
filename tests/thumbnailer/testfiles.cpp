// Writes the files the thumbnailer test feeds it: the reader's hostile files and
// the 1,024,000-face benchmark model. Usage: quor_thumbnailer_testfiles <directory>
#include "tests/fuzz/corpus.h"
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
    ok = Save(dir + "/big.3ds", MakeBigModel().Bytes()) && ok;
    return ok ? 0 : 1;
}
