// Choosing the antialiasing format and the dummy context's format from the
// driver's candidates.
#include "launcher/multisample.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

FbConfigInfo EightSampleFormat(int id) {
    FbConfigInfo c;
    c.id = id;
    c.visualId = 0x21;
    c.drawsToWindow = true;
    c.rgba = true;
    c.doubleBuffer = true;
    c.redBits = c.greenBits = c.blueBits = c.alphaBits = 8;
    c.depthBits = 24;
    c.sampleBuffers = 1;
    c.samples = 8;
    return c;
}

struct Variant {
    std::string name;
    std::function<void(FbConfigInfo &)> change;
    bool accepted;
};

TEST(ChooseMultisampleFormat, AcceptsOnlyAcceleratedDoubleBufferedEightSampleWindowFormats) {
    const std::vector<Variant> variants = {
        {"as is", [](FbConfigInfo &) {}, true},
        {"5-6-5 colour is 16 bits", [](FbConfigInfo &c) { c.redBits = 5, c.greenBits = 6, c.blueBits = 5; },
         true},
        {"16 depth bits", [](FbConfigInfo &c) { c.depthBits = 16; }, true},
        {"stencil bits", [](FbConfigInfo &c) { c.stencilBits = 8; }, true},
        {"more alpha", [](FbConfigInfo &c) { c.alphaBits = 16; }, true},
        {"4 samples", [](FbConfigInfo &c) { c.samples = 4; }, false},
        {"16 samples", [](FbConfigInfo &c) { c.samples = 16; }, true},
        {"7 samples", [](FbConfigInfo &c) { c.samples = 7; }, false},
        {"no sample buffer", [](FbConfigInfo &c) { c.sampleBuffers = 0; }, false},
        {"two sample buffers", [](FbConfigInfo &c) { c.sampleBuffers = 2; }, false},
        {"single buffered", [](FbConfigInfo &c) { c.doubleBuffer = false; }, false},
        {"slow", [](FbConfigInfo &c) { c.slow = true; }, false},
        {"pbuffer only", [](FbConfigInfo &c) { c.drawsToWindow = false; }, false},
        {"colour index", [](FbConfigInfo &c) { c.rgba = false; }, false},
        {"10-10-10-2 colour",
         [](FbConfigInfo &c) { c.redBits = c.greenBits = c.blueBits = 10, c.alphaBits = 2; }, false},
        {"5-5-5 colour is 15 bits", [](FbConfigInfo &c) { c.redBits = c.greenBits = c.blueBits = 5; }, false},
        {"no alpha", [](FbConfigInfo &c) { c.alphaBits = 0; }, false},
        {"8 depth bits", [](FbConfigInfo &c) { c.depthBits = 8; }, false},
    };
    for (const Variant &v : variants) {
        FbConfigInfo c = EightSampleFormat(77);
        v.change(c);
        const std::optional<int> chosen = ChooseMultisampleFormat({c});
        EXPECT_EQ(chosen.has_value(), v.accepted) << v.name;
        if (v.accepted && chosen) {
            EXPECT_EQ(*chosen, 77) << v.name;
        }
    }
}

TEST(ChooseMultisampleFormat, TakesTheFewestSamplesFromEightThenTheDriversOrder) {
    FbConfigInfo fourSamples = EightSampleFormat(3);
    fourSamples.samples = 4;
    FbConfigInfo slow = EightSampleFormat(4);
    slow.slow = true;
    FbConfigInfo sixteen = EightSampleFormat(16);
    sixteen.samples = 16;
    FbConfigInfo twelve = EightSampleFormat(12);
    twelve.samples = 12;
    EXPECT_EQ(
        ChooseMultisampleFormat({fourSamples, slow, sixteen, EightSampleFormat(90000), EightSampleFormat(5)}),
        90000);
    EXPECT_EQ(ChooseMultisampleFormat({sixteen, twelve, fourSamples, sixteen}), 12);
    EXPECT_EQ(ChooseMultisampleFormat({fourSamples, sixteen}), 16); // a driver with only 16 samples
    EXPECT_EQ(ChooseMultisampleFormat({fourSamples, slow}), std::nullopt);
    EXPECT_EQ(ChooseMultisampleFormat({}), std::nullopt);
}

TEST(ChooseBasicFormat, KeepsToTheWindowsVisualAndPrefersAPlainDoubleBufferedFormat) {
    FbConfigInfo otherVisual = EightSampleFormat(1);
    otherVisual.visualId = 0x99;
    otherVisual.sampleBuffers = otherVisual.samples = 0;
    FbConfigInfo singleBuffered = EightSampleFormat(2);
    singleBuffered.doubleBuffer = false;
    singleBuffered.sampleBuffers = singleBuffered.samples = 0;
    FbConfigInfo multisampled = EightSampleFormat(3);
    FbConfigInfo shallowDepth = EightSampleFormat(4);
    shallowDepth.depthBits = 0;
    shallowDepth.sampleBuffers = shallowDepth.samples = 0;
    FbConfigInfo plain = EightSampleFormat(5);
    plain.sampleBuffers = plain.samples = 0;
    FbConfigInfo noWindow = plain;
    noWindow.drawsToWindow = false;

    EXPECT_EQ(ChooseBasicFormat({otherVisual, singleBuffered, multisampled, shallowDepth, plain}, 0x21), 4u);
    // Nothing ideal: the first format of the window's visual still gives a context.
    EXPECT_EQ(ChooseBasicFormat({otherVisual, noWindow, singleBuffered, multisampled}, 0x21), 2u);
    EXPECT_EQ(ChooseBasicFormat({otherVisual, noWindow}, 0x21), std::nullopt);
}

} // namespace
