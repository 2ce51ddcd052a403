// Long-run reliability: many documents opened and closed in one running viewer,
// with the redraw timer running, leave neither memory nor GL objects behind.
#include "glnames.h"
#include "guitest.h"

#include "document/quordoc.h"
#include "resources/ids.h"
#include "shell/childfrm.h"
#include "tools/3ds/writer3ds.h"
#include "view/earthtexture.h"
#include "view/quorview.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <fstream>

namespace {

const QString kStation = QString::fromStdString(SourcePath("data/station.3ds"));

// Two meshes of 96 x 96 quads under one textured material: about 1.3 MB of
// vertex and face tables a document, so that tables left behind by each document
// show plainly in the process's memory.
Writer3ds BigModel() {
    constexpr int kGrid = 96;
    Writer3ds w;
    w.Begin(0x4D4D);
    w.Begin(0x3D3D);
    w.Begin(0xAFFF);
    w.Begin(0xA000);
    w.Str("Hull");
    w.End();
    w.Color24(0xA020, 180, 180, 200);
    w.Map(0xA200, "hull.gif");
    w.End();
    for (int mesh = 0; mesh < 2; ++mesh) {
        std::vector<float> xyz;
        std::vector<uint16_t> abc;
        for (int y = 0; y <= kGrid; ++y)
            for (int x = 0; x <= kGrid; ++x)
                xyz.insert(xyz.end(), {float(x), float(y), float(mesh * 10 + (x ^ y) % 7)});
        for (int y = 0; y < kGrid; ++y)
            for (int x = 0; x < kGrid; ++x) {
                const auto i = static_cast<uint16_t>(y * (kGrid + 1) + x);
                const auto below = static_cast<uint16_t>(i + kGrid + 1);
                abc.insert(abc.end(), {i, static_cast<uint16_t>(i + 1), below, static_cast<uint16_t>(i + 1),
                                       static_cast<uint16_t>(below + 1), below});
            }
        std::vector<uint16_t> all(abc.size() / 3);
        for (size_t f = 0; f < all.size(); ++f)
            all[f] = static_cast<uint16_t>(f);
        w.Begin(0x4000);
        w.Str("mesh" + std::to_string(mesh));
        w.Begin(0x4100);
        w.VertexList(xyz);
        w.BeginFaceList(abc);
        w.FaceMaterial("Hull", all);
        w.SmoothList(all.size());
        w.End();
        w.End();
        w.End();
    }
    w.End();
    w.End();
    return w;
}

long ResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

struct Footprint {
    long rssKiB = 0;
    long heapKiB = 0; // bytes handed out by malloc and not yet freed
    SharedGlNames::Counts gl;
};

Footprint Measure(SharedGlNames &names) {
    ViewerApp::Settle(150); // deleted windows and their last frames go
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // Memory the allocator keeps for reuse is no leak; give it back so that RSS
    // counts what is in use.
    malloc_trim(0);
    const struct mallinfo2 heap = mallinfo2();
    Footprint f;
    f.rssKiB = ResidentKiB();
    f.heapKiB = static_cast<long>((heap.uordblks + heap.hblkhd) / 1024);
    f.gl = names.Count();
    return f;
}

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *e) override {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

TEST(Soak, HundredDocumentsWithTheTimerRunningLeaveMemoryAndGlObjectsFlat) {
    constexpr int kDocuments = 100;
    constexpr int kWarmUp = 10;
    QElapsedTimer clock;
    clock.start();

    ViewerApp v;
    ASSERT_TRUE(v.started());
    // A full-size Earth map: each view uploads its own 6 MB texture from it.
    ASSERT_TRUE(WriteBmp24(QDir::currentPath() + "/Weltkart.bmp", 2048, 1024, [](int x, int y) {
        return ((x / 64 + y / 64) % 3) ? QColor(20, 40, 160) : QColor(40, 140, 40);
    }));

    QTemporaryDir files;
    ASSERT_TRUE(files.isValid());
    const QStringList paths = {files.path() + "/big_a.3ds", files.path() + "/station.3ds",
                               files.path() + "/big_b.3ds"};
    ASSERT_TRUE(BigModel().Save(paths[0].toStdString()));
    ASSERT_TRUE(QFile::copy(kStation, paths[1]));
    ASSERT_TRUE(QFile::copy(paths[0], paths[2]));

    ASSERT_NE(QOpenGLContext::globalShareContext(), nullptr);
    SharedGlNames names;
    ASSERT_TRUE(names.valid());

    CQUORApp &app = v.app();
    std::deque<Document *> open;
    auto closeAll = [&] {
        while (!open.empty()) {
            app.CloseDocument(open.front());
            open.pop_front();
        }
    };
    // Menus, and whatever else the window keeps, under the main window.
    auto menus = [&] { return app.MainWindow()->findChildren<QMenu *>().size(); };

    Footprint warm, end;
    qsizetype warmMenus = 0;
    int lastModelList = 0;
    long openMsTotal = 0, openMsMax = 0;
    for (int i = 0; i < kDocuments; ++i) {
        SCOPED_TRACE("document " + std::to_string(i));
        // Every other document opens with no window left (the menu bar changes
        // back and forth); the others open while the previous one still draws.
        if (i % 2 == 0)
            closeAll();
        QElapsedTimer openTime;
        openTime.start();
        auto *doc = static_cast<CQUORDoc *>(app.OpenDocumentFile(paths[i % paths.size()]));
        openMsTotal += openTime.elapsed();
        openMsMax = std::max(openMsMax, static_cast<long>(openTime.elapsed()));
        ASSERT_NE(doc, nullptr);
        open.push_back(doc);
        auto *frame = static_cast<CChildFrame *>(app.FrameOf(doc));
        ASSERT_NE(frame, nullptr);
        CQUORView *view = frame->SceneView();
        ASSERT_TRUE(view->HasContext());
        ASSERT_GT(doc->m_faceCount, 0);
        ASSERT_GT(doc->m_modelList, 0);

        ASSERT_EQ(app.MainWindow()->ActiveChildFrame(), frame);
        ASSERT_TRUE(app.DispatchCommand(ID_TIMER_STARTSTOP));
        ASSERT_NE(view->m_timerId, 0u);
        PaintCounter counter;
        view->installEventFilter(&counter);
        const float longitude = doc->m_longitude;
        ASSERT_TRUE(SettleUntil([&] { return counter.paints >= 2 && doc->m_longitude != longitude; }, 5000))
            << counter.paints << " frames drawn";
        view->removeEventFilter(&counter);

        if (i == 0) {
            // The counting context sees the viewer's objects, so a leak cannot hide from it.
            EXPECT_TRUE(names.IsList(static_cast<unsigned>(doc->m_modelList)));
            EXPECT_TRUE(names.IsTexture(g_earthTexture));
            EXPECT_LE(doc->m_modelList, 20000);
            EXPECT_LE(g_earthTexture, 20000u);
        }
        lastModelList = doc->m_modelList;
        while (open.size() > 1) {
            app.CloseDocument(open.front());
            open.pop_front();
        }
        if (i + 1 == kWarmUp) {
            closeAll();
            warm = Measure(names);
            warmMenus = menus();
        }
    }
    closeAll();
    end = Measure(names);
    EXPECT_TRUE(app.Documents().empty());
    EXPECT_FALSE(names.IsList(static_cast<unsigned>(lastModelList)))
        << "the last model list went with its view";

    std::printf("soak: %d documents in %lld ms (open: %ld ms on average, %ld ms at most)\n"
                "  after %d: RSS %ld KiB, heap %ld KiB, %d lists, %d textures\n"
                "  after %d: RSS %ld KiB, heap %ld KiB, %d lists, %d textures\n",
                kDocuments, static_cast<long long>(clock.elapsed()), openMsTotal / kDocuments, openMsMax,
                kWarmUp, warm.rssKiB, warm.heapKiB, warm.gl.lists, warm.gl.textures, kDocuments, end.rssKiB,
                end.heapKiB, end.gl.lists, end.gl.textures);

    ASSERT_GE(warm.gl.lists, 0) << "the counting context could not be made current";
    EXPECT_EQ(end.gl.lists, warm.gl.lists);
    EXPECT_EQ(end.gl.textures, warm.gl.textures);
    // 90 documents after the warm-up: a leak of one big model's tables (1.3 MB),
    // of one Earth texture (6 MB) or of one model list per document would add
    // hundreds of MB; 16 MiB leaves room for the allocator's and driver's noise.
    EXPECT_LT(end.rssKiB - warm.rssKiB, 16 * 1024);
    // The heap in use is steadier: 2 MiB over 90 documents catches anything
    // above about 20 KB a document, such as the station's tables or a window.
    EXPECT_LT(end.heapKiB - warm.heapKiB, 2 * 1024);
    EXPECT_EQ(menus(), warmMenus) << "menus the menu bar no longer shows are still alive";
    EXPECT_TRUE(v.messages.shown.empty()) << v.messages.Texts().front();
}
