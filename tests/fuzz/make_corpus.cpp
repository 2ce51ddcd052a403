// Writes the fuzzer's seed corpus. Usage: make_read3ds_corpus <directory>
#include "corpus.h"

#include <cstdio>
#include <string>

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    std::vector<CorpusFile> files = SeedCorpus();
    for (CorpusFile &hostile : HostileSeeds())
        files.push_back(std::move(hostile));
    for (const CorpusFile &file : files) {
        const std::string path = dir + "/" + file.name + ".3ds";
        std::FILE *f = std::fopen(path.c_str(), "wb");
        bool ok = f != nullptr;
        if (f) {
            ok = std::fwrite(file.bytes.data(), 1, file.bytes.size(), f) == file.bytes.size();
            ok = std::fclose(f) == 0 && ok;
        }
        if (!ok) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
