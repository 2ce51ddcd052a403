#include "tests/scratchdir.h"
#include "tools/3ds/writer3ds.h"
#include "tools/modelreport/report.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A one-triangle model whose face-material list names two faces that do not exist.
std::string WriteModelWithBadFaceEntries(const ScratchDir &dir) {
    Writer3ds w;
    w.Begin(0x4D4D);
    w.Begin(0x3D3D);
    w.Begin(0xAFFF);
    w.Begin(0xA000);
    w.Str("Red");
    w.End();
    w.Color24(0xA020, 200, 0, 0);
    w.End();
    w.Begin(0x4000);
    w.Str("tri");
    w.Begin(0x4100);
    w.VertexList({0, 0, 0, 2, 0, 0, 0, 1, 0});
    w.BeginFaceList({0, 1, 2});
    w.FaceMaterial("Red", {0, 5, 9});
    w.End();
    w.End();
    w.End();
    w.End();
    w.End();
    const std::string path = dir.File("bad_faces.3ds");
    EXPECT_TRUE(w.Save(path));
    return path;
}

} // namespace

TEST(Inspect, ReportsTheModelListAndTheMessagesInOrder) {
    const ScratchDir dir;
    const std::string path = WriteModelWithBadFaceEntries(dir);
    InspectReport report;
    ASSERT_TRUE(InspectFile(path, report));
    EXPECT_EQ(report.faces, 1);
    EXPECT_EQ(report.vertices, 3);
    EXPECT_EQ(report.listVertices, 3u);
    EXPECT_EQ(report.messages, (std::vector<std::string>{"Bad f ", "Bad f "}));
    ASSERT_TRUE(report.hasBox);
    EXPECT_FLOAT_EQ(report.boxMin[0], -2.0f);
    EXPECT_FLOAT_EQ(report.boxMax[0], 2.0f);
    EXPECT_FLOAT_EQ(report.scale, 2.0f);
    const std::string json = ReportJson(report);
    EXPECT_NE(json.find("\"messages\": [\"Bad f \", \"Bad f \"]"), std::string::npos) << json;
    EXPECT_NE(json.find("\"scale\": 2,"), std::string::npos) << json;
}

TEST(Inspect, UnopenablePathsAreRefused) {
    const ScratchDir dir;
    InspectReport report;
    EXPECT_FALSE(InspectFile(dir.File("no-such-model.3ds"), report));
    EXPECT_FALSE(InspectFile(dir.Path(), report));
}

TEST(InspectJson, EscapesQuotesControlsAndBrokenUtf8) {
    EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(JsonString("line\nnext\ttab\x01"), "\"line\\nnext\\ttab\\u0001\"");
    EXPECT_EQ(JsonString("caf\xc3\xa9"), "\"caf\xc3\xa9\"") << "valid UTF-8 kept";
    EXPECT_EQ(JsonString("bad\xe9!"), "\"bad\\ufffd!\"") << "Latin-1 byte";
    EXPECT_EQ(JsonString("cut\xe2\x82"), "\"cut\\ufffd\\ufffd\"") << "sequence cut at the end";
    EXPECT_EQ(JsonString("\xed\xa0\x80"), "\"\\ufffd\\ufffd\\ufffd\"") << "surrogate";
}

TEST(InspectJson, EmptyListHasNoBoxAndNumbersStayValidJson) {
    InspectReport report;
    report.file = "x.3ds";
    report.scale = 1.0f / 0.0f;
    const std::string json = ReportJson(report);
    EXPECT_NE(json.find("\"bbox\": null"), std::string::npos) << json;
    EXPECT_NE(json.find("\"scale\": null"), std::string::npos) << json;
    EXPECT_NE(json.find("\"messages\": []"), std::string::npos) << json;
}
