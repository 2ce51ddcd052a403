#include "document/quordoc.h"
#include "resources/ids.h"
#include "framework/commands.h"
#include "framework/document.h"
#include "tests/scratchdir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

namespace {

class Target : public CommandTarget {
public:
    Target(std::string name, std::vector<std::string> &log) : m_name(std::move(name)), m_log(log) {}
    void Handle(unsigned id) {
        MapCommand(id, [this] { m_log.push_back(m_name); });
    }

private:
    std::string m_name;
    std::vector<std::string> &m_log;
};

class CountingView : public View {
public:
    void OnUpdate(View *sender, long hint) override {
        ++updates;
        lastSender = sender;
        lastHint = hint;
    }
    int updates = 0;
    View *lastSender = reinterpret_cast<View *>(1);
    long lastHint = -1;
};

} // namespace

TEST(CommandRouting, FirstTableInRouteOrderHandlesTheCommand) {
    std::vector<std::string> log;
    Target view("view", log), doc("doc", log), child("child", log), main("main", log), app("app", log);
    app.Handle(ID_APP_ABOUT);
    main.Handle(ID_APP_ABOUT);
    doc.Handle(ID_VIEW_FROMSPACE);
    app.Handle(ID_VIEW_FROMSPACE);
    view.Handle(ID_TIMER_STARTSTOP);

    CommandRoute route{&view, &doc, &child, &main, &app};
    EXPECT_TRUE(route.Dispatch(ID_APP_ABOUT));
    EXPECT_TRUE(route.Dispatch(ID_VIEW_FROMSPACE));
    EXPECT_TRUE(route.Dispatch(ID_TIMER_STARTSTOP));
    EXPECT_EQ(log, (std::vector<std::string>{"main", "doc", "view"}));

    EXPECT_EQ(route.Handler(ID_APP_ABOUT), &main);
    EXPECT_FALSE(route.IsEnabled(ID_EDIT_COPY));
    EXPECT_FALSE(route.Dispatch(ID_EDIT_COPY));
    EXPECT_EQ(log.size(), 3u);
}

TEST(CommandRouting, MissingTargetsAreSkippedAndDisableTheirCommands) {
    std::vector<std::string> log;
    Target doc("doc", log), main("main", log);
    doc.Handle(ID_VIEW_FROMISS);
    main.Handle(ID_WINDOW_CASCADE);

    // The data panel is active: no view-level table takes part.
    CommandRoute panelActive{nullptr, &doc, nullptr, &main, nullptr};
    EXPECT_TRUE(panelActive.IsEnabled(ID_VIEW_FROMISS));
    EXPECT_FALSE(panelActive.IsEnabled(ID_TIMER_STARTSTOP));

    // No document window: only frame and application remain.
    CommandRoute noDocument{nullptr, nullptr, nullptr, &main, nullptr};
    EXPECT_FALSE(noDocument.IsEnabled(ID_VIEW_FROMISS));
    EXPECT_TRUE(noDocument.IsEnabled(ID_WINDOW_CASCADE));
}

TEST(Document, UpdateAllViewsSkipsTheSenderAndDetachesOnDestruction) {
    Document doc;
    CountingView a, b;
    doc.AddView(&a);
    doc.AddView(&b);
    doc.UpdateAllViews(&a, 7);
    EXPECT_EQ(a.updates, 0);
    EXPECT_EQ(b.updates, 1);
    EXPECT_EQ(b.lastSender, &a);
    EXPECT_EQ(b.lastHint, 7);

    doc.RemoveView(&b);
    EXPECT_EQ(b.GetDocument(), nullptr);
    doc.UpdateAllViews(nullptr);
    EXPECT_EQ(a.updates, 1);
    EXPECT_EQ(b.updates, 1);
}

TEST(Document, TitleComesFromTheFileName) {
    Document doc;
    doc.SetPathName("/tmp/models/station.3ds");
    EXPECT_EQ(doc.GetTitle(), "station.3ds");
    EXPECT_EQ(doc.GetPathName(), "/tmp/models/station.3ds");
}

TEST(CQUORDocState, FreshDocumentAndRefusedNewDocument) {
    CQUORDoc doc;
    EXPECT_EQ(doc.m_viewMode, 1);
    EXPECT_EQ(doc.m_modelList, 0);
    EXPECT_EQ(doc.m_vertices, nullptr);
    EXPECT_EQ(doc.m_faces, nullptr);
    EXPECT_EQ(doc.m_textureMaps, nullptr);
    EXPECT_EQ(doc.m_materials, nullptr);
    EXPECT_EQ(doc.m_vertexCount + doc.m_faceCount + doc.m_textureMapCount + doc.m_materialCount, 0);
    EXPECT_FALSE(doc.OnNewDocument());
}

TEST(CQUORDocState, CameraCommandsStoreTheModeAndNotifyOnlyTheirOwnDocument) {
    CQUORDoc first, second;
    CountingView a1, a2, b1;
    first.AddView(&a1);
    first.AddView(&a2);
    second.AddView(&b1);

    CommandRoute route{nullptr, &first};
    ASSERT_TRUE(route.Dispatch(ID_VIEW_FROMISS));
    ASSERT_TRUE(route.Dispatch(ID_VIEW_FROMISS)); // unchanged mode still notifies
    EXPECT_EQ(first.m_viewMode, ViewFromISS);
    EXPECT_EQ(a1.updates, 2);
    EXPECT_EQ(a2.updates, 2);
    EXPECT_EQ(a1.lastSender, nullptr);
    EXPECT_EQ(a1.lastHint, 0);
    EXPECT_EQ(b1.updates, 0);
    EXPECT_EQ(second.m_viewMode, ViewFromSpace);

    route.Dispatch(ID_VIEW_APPROACH);
    EXPECT_EQ(first.m_viewMode, ViewApproach);
    route.Dispatch(ID_VIEW_FROMSPACE);
    EXPECT_EQ(first.m_viewMode, ViewFromSpace);
}

TEST(CQUORDocState, OpenFailsAtOnceForAnythingButARegularFile) {
    ScratchDir dir;
    const std::string pipe = dir.Path() + "/pipe.3ds";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    // A pipe would hold open() until a writer came; none comes here.
    for (const std::string &path :
         {std::string("/nonexistent/quor/model.3ds"), dir.Path(), pipe, std::string("/dev/zero")}) {
        CQUORDoc doc;
        EXPECT_FALSE(doc.OnOpenDocument(path)) << path;
        Document plain;
        EXPECT_FALSE(plain.OnOpenDocument(path)) << path;
    }
}
