#include "multisample.h"

namespace {

bool IsMultisampleFormat(const FbConfigInfo &c) {
    return c.drawsToWindow && c.rgba && c.doubleBuffer && !c.slow &&
           c.redBits + c.greenBits + c.blueBits >= 16 && c.alphaBits >= 8 && c.depthBits >= 16 &&
           c.sampleBuffers == 1 && c.samples >= 8;
}

} // namespace

std::optional<int> ChooseMultisampleFormat(const std::vector<FbConfigInfo> &candidates) {
    const FbConfigInfo *chosen = nullptr;
    for (const FbConfigInfo &c : candidates) {
        if (IsMultisampleFormat(c) && (!chosen || c.samples < chosen->samples))
            chosen = &c;
    }
    return chosen ? std::optional<int>(chosen->id) : std::nullopt;
}

std::optional<std::size_t> ChooseBasicFormat(const std::vector<FbConfigInfo> &candidates, int visualId) {
    std::optional<std::size_t> fallback;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const FbConfigInfo &c = candidates[i];
        if (c.visualId != visualId || !c.drawsToWindow)
            continue;
        if (c.rgba && c.doubleBuffer && c.depthBits >= 16 && c.sampleBuffers == 0)
            return i;
        if (!fallback)
            fallback = i;
    }
    return fallback;
}
