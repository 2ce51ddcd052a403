#pragma once
// Files and shell words for the tests that run quor-inspect as a whole process.
#include <fstream>
#include <iterator>
#include <string>

// `text` as one word for /bin/sh.
inline std::string Quoted(const std::string &text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

inline std::string ReadAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
