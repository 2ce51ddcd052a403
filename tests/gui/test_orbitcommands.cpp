// Orbital elements opened in the viewer: a bad file is named with its line and
// leaves the elements in use; a good one switches a document to the live orbit.
#include "guitest.h"

#include "document/quordoc.h"
#include "resources/ids.h"
#include "shell/mainfrm.h"
#include "view/core/livescene.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

TEST(OrbitElements, BadFilesAreNamedAndTheElementsInUseStay) {
    QTemporaryDir dir;
    const QString good = QString::fromStdString(SourcePath("tests/data/live/station.tle"));
    QFile source(good);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    QByteArray broken = source.readAll();
    broken[broken.indexOf("\n1 ") + 69] =
        broken[broken.indexOf("\n1 ") + 69] == '0' ? '1' : '0'; // the checksum
    const QString bad = dir.path() + "/bad.tle", pipe = dir.path() + "/pipe.tle";
    {
        QFile out(bad);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(broken);
    }
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);

    ViewerApp v({QString::fromStdString(SourcePath("data/station.3ds"))});
    OrbitCommands *orbit = v.app().Orbit();
    ASSERT_TRUE(orbit->OpenElementsFile(good));
    ASSERT_TRUE(g_liveOrbit.Ready());
    EXPECT_FALSE(orbit->OpenElementsFile(bad));
    EXPECT_FALSE(orbit->OpenElementsFile(pipe)) << "refused without waiting for a writer";
    ASSERT_EQ(v.messages.shown.size(), 2u);
    EXPECT_EQ(v.messages.shown[0].text.find("bad.tle, line 2:"), v.messages.shown[0].text.find("bad.tle"))
        << v.messages.shown[0].text;
    EXPECT_NE(v.messages.shown[0].text.find("bad.tle, line 2:"), std::string::npos)
        << v.messages.shown[0].text;
    EXPECT_NE(v.messages.shown[1].text.find("pipe.tle"), std::string::npos);
    EXPECT_EQ(g_liveOrbit.Elements().catalogNumber, 25544) << "the elements in use stay";

    // The document goes live from its File menu, and back.
    auto *doc = static_cast<CQUORDoc *>(v.app().Documents().front());
    g_liveUtcMs = UnixMsFromJulianDate(g_liveOrbit.EpochJulianDate()); // whatever today's date
    ASSERT_TRUE(v.app().DispatchCommand(ID_ORBIT_LIVE));
    EXPECT_TRUE(doc->m_live);
    EXPECT_TRUE(v.app().MainWindow()->IsChecked(ID_ORBIT_LIVE));
    ViewerApp::Settle(200);
    EXPECT_NEAR(doc->m_altitude, 420.0, 30.0) << "the scene view wrote the live state";
    ASSERT_TRUE(v.app().DispatchCommand(ID_ORBIT_SIMULATED));
    EXPECT_FALSE(doc->m_live);
    g_liveOrbit = LiveOrbit();
    g_liveUtcMs = 0;
}
