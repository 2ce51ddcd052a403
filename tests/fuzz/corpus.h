#pragma once
// The reader's seed corpus: small, well-formed .3ds files that between them use
// every chunk the reader acts on. Shared by the fuzzer's corpus writer and the
// viewer's malformed-input tests.
#include <cstdint>
#include <string>
#include <vector>

struct CorpusFile {
    std::string name; // without directory or extension
    std::vector<uint8_t> bytes;
};

std::vector<CorpusFile> SeedCorpus();
