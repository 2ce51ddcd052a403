// The redraw timer and the program-wide time factor, in the real viewer.
#include "guitest.h"

#include "document/quordoc.h"
#include "resources/ids.h"
#include "shell/childfrm.h"
#include "view/core/orbitsim.h"
#include "view/quorview.h"

#include <gtest/gtest.h>

namespace {
const QString kStation = QString::fromStdString(SourcePath("data/station.3ds"));
}

TEST(RedrawTimer, StartStopAnimatesAndStopsAgain) {
    ViewerApp v({kStation});
    auto *frame = static_cast<CChildFrame *>(v.app().MainWindow()->ActiveChildFrame());
    ASSERT_NE(frame, nullptr);
    CQUORView *view = frame->SceneView();
    auto *doc = static_cast<CQUORDoc *>(frame->GetDocument());
    EXPECT_EQ(view->m_timerId, 0u) << "a new window is still";

    ASSERT_TRUE(v.app().DispatchCommand(ID_TIMER_STARTSTOP));
    EXPECT_NE(view->m_timerId, 0u);
    const float altitude = doc->m_altitude;
    const int seconds = g_clockSeconds, minutes = g_clockMinutes;
    ViewerApp::Settle(600);
    EXPECT_LT(doc->m_altitude, altitude) << "frames ran the simulation";
    EXPECT_NE(g_clockSeconds + 60 * g_clockMinutes, seconds + 60 * minutes);

    ASSERT_TRUE(v.app().DispatchCommand(ID_TIMER_STARTSTOP));
    EXPECT_EQ(view->m_timerId, 0u);
    ViewerApp::Settle(100); // a frame already asked for may still come
    const float stopped = doc->m_altitude;
    ViewerApp::Settle(300);
    EXPECT_EQ(doc->m_altitude, stopped) << "no frames without the timer";
}

TEST(RedrawTimer, TimeFactorIsProgramWide) {
    QTemporaryDir dir;
    const QString second = dir.path() + "/second.3ds";
    ASSERT_TRUE(QFile::copy(kStation, second));
    ViewerApp v({kStation});
    ASSERT_NE(v.app().OpenDocumentFile(second), nullptr);
    const struct {
        unsigned id;
        float factor;
    } commands[] = {
        {ID_TIMER_X10, 10.0f}, {ID_TIMER_REALTIME, 1.0f}, {ID_TIMER_X60, 60.0f}, {ID_TIMER_X30, 30.0f}};
    for (const auto &c : commands) {
        ASSERT_TRUE(v.app().DispatchCommand(c.id));
        EXPECT_EQ(g_timeFactor, c.factor);
    }
}
