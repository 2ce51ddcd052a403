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

// Hostile files: small, but their counts, lengths and names would make a reader
// that trusts them take time or memory far beyond their size.
// One triangle mesh followed by `lists` vertex-list headers of length 8 and
// count 65535, each lying in the data the one before claims.
std::vector<uint8_t> OverlappingVertexLists(int lists);
// A list of `vertices` vertices followed by `lists` such face-list headers; with
// 16,673 vertices the headers read as faces of that list are all valid.
std::vector<uint8_t> OverlappingFaceLists(int vertices, int lists);
// `objects` objects with empty names and nothing else.
std::vector<uint8_t> ManyObjects(int objects);
// `materials` materials, then one triangle with as many face-material lists
// naming none of them.
std::vector<uint8_t> ManyFaceMaterialLists(int materials);
// `materials` materials, each with a texture map.
std::vector<uint8_t> ManyTextureMaps(int materials);
// One mesh of `pairs` one-vertex lists, each followed by a one-face list.
std::vector<uint8_t> ManySmallLists(int pairs);
// `links` objects, then as many material blocks, each lying inside a chunk of
// the one before, so that every inner walk would run on through all that follow.
std::vector<uint8_t> ChainedWalks(int links);
// Small versions of the hostile files, for the fuzzer's seeds.
std::vector<CorpusFile> HostileSeeds();
