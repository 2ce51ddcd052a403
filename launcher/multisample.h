#pragma once
// Choosing the antialiasing format: the driver lists its candidate frame-buffer
// configurations, and the launcher accepts one that really is an accelerated,
// double-buffered window format with one buffer of at least eight samples.
#include <cstddef>
#include <optional>
#include <vector>

// What the launcher needs to know about one frame-buffer configuration.
struct FbConfigInfo {
    int id = 0;       // the format's number, handed to the viewer
    int visualId = 0; // X visual of window configurations, 0 if none
    bool drawsToWindow = false;
    bool rgba = false;
    bool doubleBuffer = false;
    bool slow = false; // the driver flags it as not accelerated
    int redBits = 0;
    int greenBits = 0;
    int blueBits = 0;
    int alphaBits = 0;
    int depthBits = 0;
    int stencilBits = 0;
    int sampleBuffers = 0;
    int samples = 0;
};

// The number of the candidate with at least 16 colour bits (alpha not counted),
// 8 alpha bits, 16 depth bits and exactly one sample buffer whose sample count
// is the smallest of 8 or more; among equals, the first in the driver's order.
// A driver that only offers 16 samples still gets its antialiasing.
std::optional<int> ChooseMultisampleFormat(const std::vector<FbConfigInfo> &candidates);

// The configuration for a plain context on a window whose X visual is fixed:
// among the candidates with that visual, the first double-buffered RGBA one
// with a depth buffer of at least 16 bits and no multisampling, else the
// first one at all with that visual.
std::optional<std::size_t> ChooseBasicFormat(const std::vector<FbConfigInfo> &candidates, int visualId);

// Asks the driver for the antialiasing format.
class MultisampleProbe {
public:
    virtual ~MultisampleProbe() = default;
    // The format's number, or nothing when the driver has no such format or
    // cannot be asked.
    virtual std::optional<int> FindFormat() = 0;
};

// A probe with a fixed answer: for runs that must not depend on the driver.
class FixedProbe : public MultisampleProbe {
public:
    explicit FixedProbe(std::optional<int> answer) : m_answer(answer) {}
    std::optional<int> FindFormat() override { return m_answer; }

private:
    std::optional<int> m_answer;
};
