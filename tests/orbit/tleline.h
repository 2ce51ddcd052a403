#pragma once
// Element lines for tests, with their checksums worked out here rather than by the
// parser under test.
#include <string>

// `line` (69 columns) with its checksum set again after an edit.
inline std::string Resum(std::string line) {
    int sum = 0;
    for (size_t i = 0; i < 68; ++i)
        sum += (line[i] >= '0' && line[i] <= '9') ? line[i] - '0' : line[i] == '-';
    line[68] = static_cast<char>('0' + sum % 10);
    return line;
}
