// Orbital elements in the viewer: a bad file is named with its line and leaves
// the elements in use; the station chooser; Update Elements against a web server
// of the test's own on 127.0.0.1, and what the next start restores.
#include "guitest.h"
#include "localserver.h"
#include "smalldisk.h"

#include "document/quordoc.h"
#include "orbit/astro.h"
#include "resources/ids.h"
#include "shell/childfrm.h"
#include "shell/elementsdownload.h"
#include "shell/livemodel.h"
#include "shell/locationdialog.h"
#include "shell/mainfrm.h"
#include "shell/orbitcommands.h"
#include "shell/settimedialog.h"
#include "tests/orbit/tleline.h"
#include "view/core/livescene.h"
#include "view/core/observerpanel.h"
#include "view/quorview.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkProxy>
#include <QRadioButton>
#include <QSet>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

#include <sys/stat.h>
#include <time.h>

namespace {

const QString kModel = QString::fromStdString(SourcePath("data/station.3ds"));
// The station's set in tests/data/live/station.tle: epoch 2026 day 341.5, 7 December 12:00 UTC.
const std::string kStation1 = "1 25544U 98067A   26341.50000000  .00016717  00000-0  30306-3 0  9998";
const std::string kStation2 = "2 25544  51.6390 210.4370 0003572 120.3700 239.7600 15.49815362 12344";
const std::string kVanguard1 = "1 00005U 58002B   00179.78495062  .00000023  00000-0  28098-4 0  4753";
const std::string kVanguard2 = "2 00005  34.2682 348.7242 1859667 331.7664  19.3264 10.82419157413667";

// The station's set with another epoch (columns 19-32) and mean motion (line 2, columns 53-63).
QByteArray StationSet(const std::string &name, const std::string &epoch,
                      const std::string &meanMotion = "15.49815362") {
    std::string one = kStation1, two = kStation2;
    one.replace(18, 14, epoch);
    two.replace(52, 11, meanMotion);
    return QByteArray::fromStdString((name.empty() ? "" : name + "\n") + Resum(one) + "\n" + Resum(two) +
                                     "\n");
}

QByteArray OtherSets() {
    std::string other1 = kVanguard1, other2 = kVanguard2;
    other1.replace(2, 5, "04632");
    other2.replace(2, 5, "04632");
    return QByteArray::fromStdString("VANGUARD 1\n" + kVanguard1 + "\n" + kVanguard2 + "\n" + Resum(other1) +
                                     "\n" + Resum(other2) + "\n");
}

bool WriteFile(const QString &path, const QByteArray &content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray ReadFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(no file)");
}

// The wall clock the viewer sees; the live clock and the two-hour rule follow it.
int64_t g_now = 0;

// Points the user's cache at the test's folder, takes the proxy away and the
// clock in hand, and leaves the program-wide live orbit as it found it.
class OrbitElements : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_cache.isValid());
        m_oldCache = qgetenv("XDG_CACHE_HOME");
        m_hadCache = qEnvironmentVariableIsSet("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache.path()));
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        g_now = UnixMsFromJulianDate(JulianDate(2026, 12, 8, 0, 0, 0)); // half a day after the epoch
        SetUtcNowSource([] { return g_now; });
    }
    void TearDown() override {
        SetUtcNowSource(nullptr);
        if (m_hadCache)
            qputenv("XDG_CACHE_HOME", m_oldCache);
        else
            qunsetenv("XDG_CACHE_HOME");
    }
    QString Cache() const { return ElementsDownload::CachePath(); }
    QTemporaryDir m_cache;

private:
    QByteArray m_oldCache;
    bool m_hadCache = false;
};

// Answers the station chooser each time it comes up: what it lists, and the row to pick (-1: Cancel).
class ChooserAnswer {
public:
    explicit ChooserAnswer(int row) {
        QObject::connect(&m_poll, &QTimer::timeout, [this, row] {
            auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
            if (!dialog || dialog->property("answered").toBool())
                return;
            dialog->setProperty("answered", true);
            ++answered;
            auto *box = dialog->findChild<QComboBox *>();
            if (!box) {
                dialog->reject();
                return;
            }
            shownRow = box->currentIndex();
            items.clear();
            for (int i = 0; i < box->count(); ++i)
                items << box->itemText(i);
            title = dialog->windowTitle();
            width = dialog->width();
            if (row < 0) {
                dialog->reject();
                return;
            }
            box->setCurrentIndex(row);
            dialog->accept();
        });
        m_poll.start(20);
    }
    int answered = 0;
    QStringList items;
    int shownRow = -1;
    QString title;
    int width = 0;

private:
    QTimer m_poll;
};

} // namespace

TEST_F(OrbitElements, BadFilesAreNamedAndTheElementsInUseStay) {
    const QString good = QString::fromStdString(SourcePath("tests/data/live/station.tle"));
    QByteArray broken = ReadFile(good);
    broken[broken.indexOf("\n1 ") + 69] =
        broken[broken.indexOf("\n1 ") + 69] == '0' ? '1' : '0'; // the checksum
    const QString bad = m_cache.path() + "/bad.tle", pipe = m_cache.path() + "/pipe.tle";
    ASSERT_TRUE(WriteFile(bad, broken));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);

    ViewerApp v({kModel});
    OrbitCommands *orbit = v.app().Orbit();
    ASSERT_TRUE(orbit->OpenElementsFile(good));
    ASSERT_TRUE(v.app().Live()->Ready());
    EXPECT_FALSE(orbit->OpenElementsFile(bad));
    EXPECT_FALSE(orbit->OpenElementsFile(pipe)) << "refused without waiting for a writer";
    ASSERT_EQ(v.messages.shown.size(), 2u);
    const std::string &said = v.messages.shown[0].text;
    EXPECT_NE(said.find("bad.tle, line 2, column 69: checksum"), std::string::npos) << said;
    EXPECT_EQ(said.find("line 2"), said.rfind("line 2")) << "the line is named once: " << said;
    EXPECT_NE(v.messages.shown[1].text.find("pipe.tle"), std::string::npos);
    EXPECT_EQ(v.app().Live()->Elements().catalogNumber, 25544) << "the elements in use stay";
    MainFrame *main = v.app().MainWindow();
    auto *doc = static_cast<CQUORDoc *>(v.app().Documents().front());
    EXPECT_TRUE(doc->m_live) << "the good elements opened are shown";
    ASSERT_TRUE(ChooseMenuItem(main, "&File", "Simulated Orbit"));

    // The live orbit's clock and track do nothing in the simulated orbit: grey and unmarked there.
    doc->m_groundTrack = true;
    EXPECT_FALSE(v.app().IsCommandEnabled(ID_ORBIT_NOW));
    EXPECT_FALSE(v.app().IsCommandEnabled(ID_ORBIT_GROUND_TRACK));
    EXPECT_FALSE(main->IsChecked(ID_ORBIT_GROUND_TRACK));
    EXPECT_FALSE(v.app().DispatchCommand(ID_ORBIT_GROUND_TRACK));
    EXPECT_TRUE(doc->m_groundTrack);

    // The document goes live from its File menu, and back.
    ASSERT_TRUE(ChooseMenuItem(main, "&File", "Live Orbit"));
    EXPECT_TRUE(doc->m_live);
    EXPECT_TRUE(main->IsChecked(ID_ORBIT_LIVE));
    EXPECT_TRUE(main->IsChecked(ID_ORBIT_GROUND_TRACK));
    ASSERT_TRUE(ChooseMenuItem(main, "&File", "Ground Track"));
    EXPECT_FALSE(doc->m_groundTrack);
    EXPECT_TRUE(v.app().IsCommandEnabled(ID_ORBIT_NOW));
    ViewerApp::Settle(200);
    EXPECT_NEAR(doc->m_altitude, 420.0, 30.0) << "the scene view wrote the live state";
    ASSERT_TRUE(ChooseMenuItem(main, "&File", "Simulated Orbit"));
    EXPECT_FALSE(doc->m_live);
    EXPECT_FALSE(ChooseMenuItem(main, "&File", "Now"));
}

// Live means now: going live, new elements and Now all show the real time at real
// speed, whatever factor was chosen before; the Timer menu speeds up the live clock
// alone and marks the active document's factor; Set Time moves the clock.
TEST_F(OrbitElements, LiveClockStartsNowAtRealSpeedAndSetTimeMovesIt) {
    ViewerApp v({kModel});
    MainFrame *main = v.app().MainWindow();
    auto *doc = static_cast<CQUORDoc *>(v.app().Documents().front());
    ASSERT_TRUE(
        v.app().Orbit()->OpenElementsFile(QString::fromStdString(SourcePath("tests/data/live/station.tle"))));
    // Elements opened over the simulated orbit are shown: the document goes live, and says so.
    EXPECT_TRUE(doc->m_live);
    EXPECT_EQ(main->statusBar()->currentMessage(),
              "Switched to the live orbit of ISS (ZARYA) (25544), from station.tle.");
    ASSERT_TRUE(ChooseMenuItem(main, "&File", "Simulated Orbit"));
    EXPECT_FALSE(doc->m_live);
    EXPECT_FALSE(ChooseMenuItem(main, "&File", "Set Time\u2026")) << "grey in the simulated orbit";
    ASSERT_TRUE(ChooseMenuItem(main, "Timer", "X 60"));
    EXPECT_EQ(g_timeFactor, 60.0f);
    EXPECT_TRUE(main->IsChecked(ID_TIMER_X60));
    v.app().Live()->SetFactor(10.0f); // as a live document left it
    v.app().Live()->SetTime(g_now - 86400000);
    ASSERT_TRUE(ChooseMenuItem(main, "&File", "Live Orbit"));
    EXPECT_EQ(v.app().Live()->Clock().factor, 1.0f);
    EXPECT_TRUE(main->IsChecked(ID_TIMER_REALTIME));
    EXPECT_FALSE(main->IsChecked(ID_TIMER_X60)) << "the live document's factor, not the simulation's";
    ViewerApp::Settle(100);
    EXPECT_EQ(v.app().Live()->Clock().utcMs, g_now);

    ASSERT_TRUE(ChooseMenuItem(main, "Timer", "X 30"));
    EXPECT_EQ(v.app().Live()->Clock().factor, 30.0f);
    EXPECT_EQ(g_timeFactor, 60.0f) << "the simulation keeps its own factor";
    EXPECT_TRUE(main->IsChecked(ID_TIMER_X30));
    ASSERT_TRUE(ChooseMenuItem(main, "&File", "Now"));
    EXPECT_EQ(v.app().Live()->Clock().factor, 1.0f) << "Now after a factor change: real speed";
    EXPECT_EQ(v.app().Live()->Clock().utcMs, g_now);

    // Set Time: a day that does not exist is refused in the dialog, then a UTC time taken.
    QStringList errors;
    int answered = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<SetTimeDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        auto *edit = dialog->findChild<QLineEdit *>();
        QRadioButton *utc = nullptr;
        for (QRadioButton *button : dialog->findChildren<QRadioButton *>())
            utc = button->text() == "&UTC" ? button : utc;
        ASSERT_TRUE(edit && utc);
        // The message of the answer before, once the dialog has made room for it: all of it shown.
        for (QLabel *label : dialog->findChildren<QLabel *>()) {
            if (label->isVisible() && label->styleSheet().contains("color")) {
                errors << label->text();
                EXPECT_GE(label->height(), label->heightForWidth(label->width())) << label->text().toStdString();
                EXPECT_LE(label->geometry().bottom(), dialog->height()) << label->text().toStdString();
            }
        }
        const char *const answers[] = {"2027-02-30 10:00", "half past three", "2027-01-02 03:04:05"};
        if (answered >= 3) {
            dialog->reject();
            return;
        }
        utc->setChecked(true);
        edit->setText(answers[answered++]);
        dialog->accept();
    });
    poll.start(50);
    ASSERT_TRUE(ChooseMenuItem(main, "&File", "Set Time\u2026"));
    poll.stop();
    EXPECT_EQ(answered, 3);
    ASSERT_EQ(errors.size(), 2);
    EXPECT_EQ(errors[0], "There is no day 2027-02-30 in the calendar.");
    EXPECT_TRUE(errors[1].startsWith("\"half past three\" is not a date and time.")) << errors[1].toStdString();
    ViewerApp::Settle(100);
    const qint64 chosen = UnixMsFromJulianDate(JulianDate(2027, 1, 2, 3, 4, 5));
    EXPECT_NEAR(static_cast<double>(v.app().Live()->Clock().utcMs), static_cast<double>(chosen), 1.0);
    EXPECT_NEAR(static_cast<double>(v.app().Live()->Clock().aheadMs), static_cast<double>(chosen - g_now), 1.0);
    EXPECT_EQ(ShownTimePanelLines(v.app().Live()->Clock()),
              std::vector<std::string>{"Shown time: 25 days 3 h ahead"});
    EXPECT_TRUE(
        v.app().Orbit()->OpenElementsFile(QString::fromStdString(SourcePath("tests/data/live/station.tle"))));
    EXPECT_EQ(v.app().Live()->Clock().utcMs, g_now) << "new elements are shown now";
    EXPECT_TRUE(doc->m_live);
    g_timeFactor = 30.0f; // program-wide: as the next test expects it
}

// Set Location, in the simulated orbit too: a latitude beyond the pole is refused in
// the dialog with the reason, a good place is taken, kept in the profile and
// known again at the next start.
TEST_F(OrbitElements, SetLocationRefusesABadLatitudeAndRemembersThePlace) {
    QTemporaryDir profileDir;
    ASSERT_TRUE(profileDir.isValid());
    {
        ViewerApp v({kModel}, profileDir.path());
        EXPECT_FALSE(v.app().Live()->Place().set);
        QStringList errors;
        int answered = 0;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto *dialog = qobject_cast<LocationDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            auto *name = dialog->findChild<QLineEdit *>("name");
            auto *latitude = dialog->findChild<QLineEdit *>("latitude");
            auto *longitude = dialog->findChild<QLineEdit *>("longitude");
            auto *height = dialog->findChild<QLineEdit *>("height");
            ASSERT_TRUE(name && latitude && longitude && height);
            name->setText("  Greenwich   Park ");
            latitude->setText(answered++ == 0 ? "91N" : "51.4769N");
            longitude->setText("0.0005W");
            height->setText("46");
            dialog->accept();
            auto *error = dialog->findChild<QLabel *>("error");
            if (error && error->isVisible())
                errors << error->text();
            if (answered > 3)
                dialog->reject();
        });
        poll.start(20);
        ASSERT_TRUE(ChooseMenuItem(v.app().MainWindow(), "&File", "Set Location\u2026"));
        poll.stop();
        EXPECT_EQ(answered, 2);
        ASSERT_EQ(errors.size(), 1);
        EXPECT_TRUE(errors[0].contains("latitude")) << errors[0].toStdString();
        EXPECT_TRUE(errors[0].contains("90")) << errors[0].toStdString();
        QSettings &profile = v.app().Profile();
        EXPECT_EQ(profile.value("Observer/Name").toString(), "Greenwich Park");
        EXPECT_NEAR(profile.value("Observer/Latitude").toDouble(), 51.4769, 1e-9);
        EXPECT_NEAR(profile.value("Observer/Longitude").toDouble(), -0.0005, 1e-9) << "west is negative";
        EXPECT_NEAR(profile.value("Observer/Height").toDouble(), 46.0, 1e-9);
    }
    ViewerApp again({kModel}, profileDir.path());
    const ObserverPlace &place = again.app().Live()->Place();
    EXPECT_TRUE(place.set) << "the place is known again at the next start";
    EXPECT_EQ(place.name, "Greenwich Park");
    EXPECT_NEAR(place.latitude, 51.4769, 1e-9);
    EXPECT_NEAR(place.longitude, -0.0005, 1e-9);
    EXPECT_NEAR(place.heightM, 46.0, 1e-9);
}

// What the location dialog refuses, each with a reason naming the field.
TEST(SetLocation, SaysWhichFieldIsWrong) {
    ObserverSettings place;
    QString why;
    EXPECT_TRUE(LocationDialog::ParsePlace("", "-33.87", "151.21E", "", place, why)) << why.toStdString();
    EXPECT_NEAR(place.latitude, -33.87, 1e-12);
    EXPECT_NEAR(place.longitude, 151.21, 1e-12);
    EXPECT_EQ(place.heightM, 0.0) << "an empty height is sea level";
    EXPECT_TRUE(LocationDialog::ParsePlace("", QString::fromUtf8("31\u00b033'S"), "115 51 E", "", place, why))
        << why.toStdString();
    EXPECT_NEAR(place.latitude, -31.55, 1e-12);
    EXPECT_NEAR(place.longitude, 115.85, 1e-12);
    const struct {
        const char *lat, *lon, *height, *word;
    } bad[] = {{"", "0", "0", "latitude"},      {"abc", "0", "0", "latitude"},
               {"10,20", "0", "0", "latitude"}, {"10", "", "0", "longitude"},
               {"10", "181", "0", "longitude"}, {"10", "5N", "0", "longitude"},
               {"10", "5", "high", "height"},   {"10", "5", "9001", "height"}};
    for (const auto &c : bad) {
        why.clear();
        EXPECT_FALSE(LocationDialog::ParsePlace("x", c.lat, c.lon, c.height, place, why))
            << c.lat << " " << c.lon;
        EXPECT_TRUE(why.contains(c.word))
            << c.lat << "|" << c.lon << "|" << c.height << ": " << why.toStdString();
    }
}

// What Set Time reads, in a zone with summer time: the forms it takes, and a reason for each it refuses.
TEST(SetTime, ReadsDatesAndTimesAndSaysWhatIsWrong) {
    const QByteArray oldTz = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    tzset();
    qint64 ms = 0;
    QString why;
    const qint64 utc = UnixMsFromJulianDate(JulianDate(2026, 12, 8, 21, 30, 15));
    EXPECT_TRUE(SetTimeDialog::ParseTime(" 2026-12-08  21:30:15 ", true, ms, why)) << why.toStdString();
    EXPECT_EQ(ms, utc);
    EXPECT_TRUE(SetTimeDialog::ParseTime("2026-12-08T22:30:15", false, ms, why)) << "CET is UTC+1";
    EXPECT_EQ(ms, utc);
    EXPECT_TRUE(SetTimeDialog::ParseTime("2026-7-1", true, ms, why)) << "a date alone: its midnight";
    EXPECT_EQ(ms, UnixMsFromJulianDate(JulianDate(2026, 7, 1, 0, 0, 0)));
    // A time alone is today's in its own zone: at 23:30 UTC it is already tomorrow in Berlin.
    SetUtcNowSource([] { return UnixMsFromJulianDate(JulianDate(2026, 12, 8, 23, 30, 0)); });
    EXPECT_TRUE(SetTimeDialog::ParseTime("21:30", true, ms, why)) << why.toStdString();
    EXPECT_EQ(ms, UnixMsFromJulianDate(JulianDate(2026, 12, 8, 21, 30, 0)));
    EXPECT_TRUE(SetTimeDialog::ParseTime(" 21:30:15", false, ms, why)) << why.toStdString();
    EXPECT_EQ(ms, UnixMsFromJulianDate(JulianDate(2026, 12, 9, 20, 30, 15)));
    EXPECT_FALSE(SetTimeDialog::ParseTime("24:30", true, ms, why));
    EXPECT_TRUE(why.contains("not a time of day")) << why.toStdString();
    SetUtcNowSource(nullptr);
    EXPECT_EQ(SetTimeDialog::FormatTime(utc, false).toStdString(), "2026-12-08 22:30:15");
    const struct {
        const char *text;
        bool utc;
        const char *says;
    } bad[] = {{"", true, "Type a date"},
               {"tomorrow", true, "is not a date and time"},
               {"2026-12-08 21:30:15:00", true, "is not a date and time"},
               {"99999-01-01 00:00", true, "is not a date and time"},
               {"2026-13-01 00:00", true, "no day"},
               {"2026-02-29", true, "no day"},
               {"2026-12-08 24:00", true, "not a time of day"},
               {"2026-12-08 12:60", true, "not a time of day"},
               {"1899-12-31 23:59", true, "between 1900 and 2200"},
               {"2201-01-01 00:00", true, "between 1900 and 2200"},
               {"2026-03-29 02:30", false, "does not exist in local time"}};
    for (const auto &b : bad) {
        SCOPED_TRACE(b.text);
        ms = 42;
        why.clear();
        EXPECT_FALSE(SetTimeDialog::ParseTime(QString::fromUtf8(b.text), b.utc, ms, why));
        EXPECT_TRUE(why.contains(QString::fromUtf8(b.says))) << why.toStdString();
        EXPECT_EQ(ms, 42);
    }
    EXPECT_TRUE(SetTimeDialog::ParseTime("2026-03-29 02:30", true, ms, why)) << "in UTC it exists";
    EXPECT_TRUE(SetTimeDialog::ParseTime("2026-10-25 02:30", false, ms, why))
        << "twice, in autumn: one of them";
    if (oldTz.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", oldTz);
    tzset();
}

// Three unnamed sets of one number read alike but for their epochs: the chooser
// lists each with its epoch, offers the newest, takes the row picked, and the
// next start restores that very set.
TEST_F(OrbitElements, ChooserTellsLikeSetsApartAndTakesTheRowPicked) {
    const QString history = m_cache.path() + "/history.tle";
    ASSERT_TRUE(WriteFile(history, StationSet("", "26330.50000000") + StationSet("", "26340.50000000") +
                                       StationSet("", "26335.50000000") + OtherSets()));
    QTemporaryDir profile;
    {
        ViewerApp v({kModel}, profile.path());
        auto answer = std::make_unique<ChooserAnswer>(2);
        ASSERT_TRUE(v.app().Orbit()->OpenElementsFile(history));
        ASSERT_EQ(answer->items.size(), 5);
        EXPECT_EQ(answer->items[0].toStdString(), "Satellite (25544), epoch 2026-11-26 12:00:00 UTC");
        EXPECT_EQ(answer->items[3].left(14).toStdString(), "VANGUARD 1 (5)");
        EXPECT_EQ(answer->items.size(), QSet<QString>(answer->items.begin(), answer->items.end()).size());
        EXPECT_EQ(answer->shownRow, 1) << "the newest of the station's sets";
        EXPECT_EQ(answer->title.toStdString(), "Choose the Station");
        EXPECT_DOUBLE_EQ(v.app().Live()->Elements().epochDay, 335.5) << "the row picked, not the first alike";
        answer = std::make_unique<ChooserAnswer>(-1);
        EXPECT_FALSE(v.app().Orbit()->OpenElementsFile(history));
        EXPECT_DOUBLE_EQ(v.app().Live()->Elements().epochDay, 335.5) << "Cancel keeps the elements in use";
        EXPECT_TRUE(v.messages.shown.empty());
    }
    ViewerApp restarted({kModel}, profile.path());
    ASSERT_TRUE(restarted.app().Live()->Ready());
    EXPECT_DOUBLE_EQ(restarted.app().Live()->Elements().epochDay, 335.5);
}

// The update asks for the chosen station by number, and takes only its set, and
// only when it gives a place now; anything else leaves elements, cache and
// profile byte for byte as they were.
TEST_F(OrbitElements, UpdateTakesOnlyTheChosenStationsSetAndKeepsItOnlyThen) {
    const QByteArray kept = StationSet("ISS (ZARYA)", "26330.50000000");
    QDir().mkpath(QFileInfo(Cache()).absolutePath());
    ASSERT_TRUE(WriteFile(Cache(), kept));
    const QString station = QString::fromStdString(SourcePath("tests/data/live/station.tle"));

    ViewerApp v({kModel});
    ChooserAnswer cancel(-1); // a download asks no chooser: the station is chosen already
    QByteArray answer;
    QByteArray status = "200 OK";
    LocalServer server([&](QTcpSocket *socket, const QByteArray &) {
        QTimer::singleShot(100, socket, [&, socket] { Respond(socket, status, answer); });
    });
    v.app().Profile().setValue("Orbit/Elements URL", server.Address("/gp.php?CATNR={catalog}&FORMAT=tle"));
    ASSERT_TRUE(v.app().Orbit()->OpenElementsFile(station));
    // An update that ends in a message.
    const auto update = [&] {
        v.messages.shown.clear();
        v.app().DispatchCommand(ID_ORBIT_UPDATE_ELEMENTS);
        return SettleUntil([&] { return !v.messages.shown.empty(); }, 3000);
    };
    const auto unchanged = [&](const char *what) {
        EXPECT_EQ(ReadFile(Cache()), kept) << what;
        EXPECT_DOUBLE_EQ(v.app().Live()->Elements().epochDay, 341.5) << what;
        EXPECT_EQ(v.app().Profile().value("Orbit/Catalogue Number").toInt(), 25544) << what;
        EXPECT_EQ(v.app().Profile().value("Orbit/Elements Source").toString(), "file") << what;
    };

    // Other satellites only: refused, naming what the answer held.
    answer = OtherSets();
    ASSERT_TRUE(update());
    ASSERT_EQ(server.requests.size(), 1);
    EXPECT_TRUE(server.requests[0].startsWith("GET /gp.php?CATNR=25544&FORMAT=tle "))
        << server.requests[0].data();
    ASSERT_EQ(v.messages.shown.size(), 1u);
    EXPECT_NE(v.messages.shown[0].text.find("no elements of the chosen station (25544), only those of "
                                            "VANGUARD 1 (5), Satellite (4632)"),
              std::string::npos)
        << v.messages.shown[0].text;
    unchanged("another satellite");

    // The station's set, but one that has decayed.
    answer = StationSet("ISS (ZARYA)", "26341.90000000", "17.90000000");
    ASSERT_TRUE(update());
    ASSERT_EQ(v.messages.shown.size(), 1u);
    EXPECT_NE(v.messages.shown[0].text.find("cannot give its place now"), std::string::npos)
        << v.messages.shown[0].text;
    unchanged("a set that decays");

    // A good one, shown as running from the first moment; a second update meanwhile is the same one.
    answer = StationSet("ISS (ZARYA)", "26341.90000000") + OtherSets();
    v.messages.shown.clear();
    const qsizetype asked = server.requests.size();
    v.app().DispatchCommand(ID_ORBIT_UPDATE_ELEMENTS);
    EXPECT_TRUE(
        v.app().MainWindow()->statusBar()->currentMessage().startsWith("Downloading the elements of 25544"))
        << v.app().MainWindow()->statusBar()->currentMessage().toStdString();
    v.app().DispatchCommand(ID_ORBIT_UPDATE_ELEMENTS);
    ASSERT_TRUE(SettleUntil([&] { return v.app().Live()->Elements().epochDay == 341.9; }, 3000));
    ViewerApp::Settle(200);
    EXPECT_EQ(server.requests.size(), asked + 1);
    EXPECT_TRUE(v.messages.shown.empty()) << v.messages.shown[0].text;
    EXPECT_TRUE(v.app().MainWindow()->statusBar()->currentMessage().startsWith(
        "Elements of ISS (ZARYA) (25544) updated from 127.0.0.1"))
        << v.app().MainWindow()->statusBar()->currentMessage().toStdString();
    EXPECT_EQ(ReadFile(Cache()), answer);
    EXPECT_EQ(v.app().Profile().value("Orbit/Elements Source").toString(), "download");
    EXPECT_EQ(cancel.answered, 0);

    // Within two hours the elements are current, without the network.
    g_now += 119 * 60 * 1000;
    ASSERT_TRUE(v.app().Orbit()->OpenElementsFile(station));
    v.messages.shown.clear();
    v.app().DispatchCommand(ID_ORBIT_UPDATE_ELEMENTS);
    ViewerApp::Settle(300);
    EXPECT_EQ(server.requests.size(), asked + 1);
    ASSERT_EQ(v.messages.shown.size(), 1u);
    EXPECT_NE(v.messages.shown[0].text.find("are current: they were fetched at 2026-12-08 00:00 UTC"),
              std::string::npos)
        << v.messages.shown[0].text;
    EXPECT_DOUBLE_EQ(v.app().Live()->Elements().epochDay, 341.9) << "the fetched set, not the file opened since";

    // After that, a 403 says why, and changes nothing.
    g_now += 2 * 60 * 1000;
    status = "403 Forbidden";
    answer = "GP data has not updated since your last successful download\n";
    const QByteArray cached = ReadFile(Cache());
    ASSERT_TRUE(update());
    EXPECT_EQ(server.requests.size(), asked + 2);
    ASSERT_EQ(v.messages.shown.size(), 1u);
    EXPECT_NE(v.messages.shown[0].text.find("more than once in two hours"), std::string::npos)
        << v.messages.shown[0].text;
    EXPECT_EQ(ReadFile(Cache()), cached);
    EXPECT_DOUBLE_EQ(v.app().Live()->Elements().epochDay, 341.9);
}

// What is kept is never made worse: a set from the future or older than the kept one
// is refused with its reason; a lost cache is fetched again within the two hours.
TEST_F(OrbitElements, UpdateRefusesWorseSetsAndFetchesAgainWhenTheCacheIsLost) {
    QDir().mkpath(QFileInfo(Cache()).absolutePath());
    const QByteArray kept = StationSet("ISS (ZARYA)", "26341.90000000");
    ASSERT_TRUE(WriteFile(Cache(), kept));
    ViewerApp v({kModel});
    QByteArray answer;
    LocalServer server([&](QTcpSocket *socket, const QByteArray &) { Respond(socket, "200 OK", answer); });
    v.app().Profile().setValue("Orbit/Elements URL", server.Address("/gp.php?CATNR={catalog}"));
    const auto update = [&] {
        v.messages.shown.clear();
        v.app().DispatchCommand(ID_ORBIT_UPDATE_ELEMENTS);
        return SettleUntil([&] { return !v.messages.shown.empty(); }, 3000) && v.messages.shown.size() == 1;
    };
    struct Case {
        const char *epoch, *why;
    };
    // Now is 2026-12-08 00:00 UTC, day 342.0.
    const Case refused[] = {
        {"26355.00000000", "epoch at 2026-12-21 00:00 UTC, 13.0 days after now"},
        {"26343.10000000", "1.1 days after now"},
        {"26341.80000000", "(epoch 2026-12-07 19:12 UTC) are older than those already kept (epoch "
                           "2026-12-07 21:36 UTC)"},
    };
    for (const Case &c : refused) {
        answer = StationSet("ISS (ZARYA)", c.epoch);
        ASSERT_TRUE(update()) << c.epoch;
        EXPECT_NE(v.messages.shown[0].text.find(c.why), std::string::npos) << v.messages.shown[0].text;
        EXPECT_EQ(ReadFile(Cache()), kept) << c.epoch;
        EXPECT_FALSE(v.app().Profile().contains("Orbit/Elements Fetched")) << c.epoch;
    }
    // Within a day ahead (a set made just now, the clocks a little apart) is taken.
    answer = StationSet("ISS (ZARYA)", "26342.90000000");
    v.app().DispatchCommand(ID_ORBIT_UPDATE_ELEMENTS);
    ASSERT_TRUE(SettleUntil([&] { return v.app().Live()->Elements().epochDay == 342.9; }, 3000));
    EXPECT_EQ(ReadFile(Cache()), answer);
    const qsizetype asked = server.requests.size();

    // The cache lost: the update goes to the network, though the last fetch was just now.
    ASSERT_TRUE(QFile::remove(Cache()));
    g_now += 10 * 60 * 1000;
    answer = StationSet("ISS (ZARYA)", "26342.95000000");
    v.messages.shown.clear();
    v.app().DispatchCommand(ID_ORBIT_UPDATE_ELEMENTS);
    ASSERT_TRUE(SettleUntil([&] { return v.app().Live()->Elements().epochDay == 342.95; }, 3000));
    EXPECT_EQ(server.requests.size(), asked + 1);
    EXPECT_TRUE(v.messages.shown.empty()) << v.messages.shown[0].text;
    EXPECT_EQ(ReadFile(Cache()), answer);
    // An emptied one is fetched again too.
    ASSERT_TRUE(WriteFile(Cache(), QByteArray()));
    v.app().DispatchCommand(ID_ORBIT_UPDATE_ELEMENTS);
    ASSERT_TRUE(SettleUntil([&] { return ReadFile(Cache()) == answer; }, 3000));
    EXPECT_EQ(server.requests.size(), asked + 2);
    // With the station's set kept, the two hours hold, and the message names that set.
    ASSERT_TRUE(update());
    EXPECT_EQ(server.requests.size(), asked + 2);
    EXPECT_EQ(v.messages.shown[0].text.rfind("The elements of ISS (ZARYA) (25544) are current", 0), 0u)
        << v.messages.shown[0].text;
}

// A full disk: the update says so and records nothing; the kept elements and the
// profile stay byte for byte, and the profile's failure is said once.
TEST_F(OrbitElements, UpdateOnAFullDiskKeepsTheCacheAndTheProfileWhole) {
    const QString root = m_cache.path() + "/disk";
    SmallDisk disk(root, 512 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << "no tmpfs may be mounted here";
    qputenv("XDG_CACHE_HOME", QFile::encodeName(root + "/cache"));
    QDir().mkpath(QFileInfo(Cache()).absolutePath());
    const QByteArray kept = StationSet("ISS (ZARYA)", "26341.50000000");
    ASSERT_TRUE(WriteFile(Cache(), kept));
    QDir().mkpath(root + "/config");
    QByteArray profile;
    {
        ViewerApp v({kModel}, root + "/config");
        LocalServer server([&](QTcpSocket *socket, const QByteArray &) {
            Respond(socket, "200 OK", StationSet("ISS (ZARYA)", "26341.90000000"));
        });
        v.app().Profile().setValue("Orbit/Elements URL", server.Address("/gp.php?CATNR={catalog}"));
        // A profile of a few pages, as a user's grows to be.
        for (int i = 0; i < 100; ++i)
            v.app().Profile().setValue(QStringLiteral("Notes/Line%1").arg(i), QString(60, QChar('a' + i % 26)));
        ASSERT_TRUE(v.app().SaveProfile());
        profile = ReadFile(v.profilePath());
        ASSERT_GT(profile.size(), 6000);
        ASSERT_TRUE(disk.FillLeaving(0));

        v.messages.shown.clear();
        v.app().DispatchCommand(ID_ORBIT_UPDATE_ELEMENTS);
        ASSERT_TRUE(SettleUntil([&] { return !v.messages.shown.empty(); }, 3000));
        ViewerApp::Settle(500);
        ASSERT_EQ(v.messages.shown.size(), 1u) << v.messages.shown.back().text;
        EXPECT_EQ(v.messages.shown[0].text,
                  ("The elements were fetched from " + server.Url("/").authority() + " but could not be kept in " +
                   Cache() + " (No space left on device). The elements in use stay.")
                      .toStdString());
        EXPECT_EQ(ReadFile(Cache()), kept);
        EXPECT_FALSE(v.app().MainWindow()->statusBar()->currentMessage().startsWith("Elements of"));
        EXPECT_FALSE(v.app().Profile().contains("Orbit/Elements Fetched"));
        EXPECT_EQ(ReadFile(v.profilePath()), profile);

        // A change of settings cannot be saved either: said once, the profile left whole.
        for (int days : {12, 13}) {
            v.app().Profile().setValue("Passes/Days", days);
            EXPECT_FALSE(v.app().SaveProfile());
        }
        ASSERT_EQ(v.messages.shown.size(), 2u);
        EXPECT_EQ(v.messages.shown[1].text, ("The settings cannot be saved to " + v.profilePath() +
                                             ": no space left on device. Changes made now are kept only "
                                             "until QUOR ends.")
                                                .toStdString());
        EXPECT_EQ(ReadFile(v.profilePath()), profile);
    }
    // Nor does the end of the viewer cut it, or leave anything beside it.
    EXPECT_EQ(ReadFile(root + "/config/QUOR.ini"), profile);
    EXPECT_EQ(QDir(root + "/config").entryList(QDir::Files | QDir::Hidden | QDir::System),
              QStringList{"QUOR.ini"});
    EXPECT_EQ(QDir(QFileInfo(Cache()).absolutePath()).entryList(QDir::Files | QDir::Hidden | QDir::System),
              QStringList{"elements.tle"});
}

// Update, then a file opened, then a plain start: the file, though the cache is newer.
// And after an update last, the download.
TEST_F(OrbitElements, StartUpRestoresWhatTheUserChoseLast) {
    const LocalServer::Answer fetched = [](QTcpSocket *socket, const QByteArray &) {
        Respond(socket, "200 OK", StationSet("ISS (ZARYA)", "26341.90000000"));
    };
    const QString file = m_cache.path() + "/B.tle";
    ASSERT_TRUE(WriteFile(file, StationSet("ISS (ZARYA)", "26339.50000000")));
    QTemporaryDir profile;
    {
        ViewerApp v({kModel}, profile.path());
        LocalServer server(fetched); // after the application: it serves from its event loop
        v.app().Profile().setValue("Orbit/Elements URL", server.Address("/gp.php?CATNR={catalog}"));
        v.app().DispatchCommand(ID_ORBIT_UPDATE_ELEMENTS);
        ASSERT_TRUE(SettleUntil([&] { return v.app().Live()->Elements().epochDay == 341.9; }, 3000));
        ASSERT_TRUE(v.app().Orbit()->OpenElementsFile(file));
    }
    ASSERT_TRUE(QFileInfo(Cache()).lastModified() >= QFileInfo(file).lastModified());
    {
        ViewerApp v({kModel}, profile.path());
        EXPECT_DOUBLE_EQ(v.app().Live()->Elements().epochDay, 339.5) << "the file the user opened last";
        LocalServer server(fetched);
        v.app().Profile().setValue("Orbit/Elements URL", server.Address("/gp.php?CATNR={catalog}"));
        g_now += 3 * 3600 * 1000;
        v.app().DispatchCommand(ID_ORBIT_UPDATE_ELEMENTS);
        ASSERT_TRUE(SettleUntil([&] { return v.app().Live()->Elements().epochDay == 341.9; }, 3000));
    }
    ViewerApp v({kModel}, profile.path());
    EXPECT_DOUBLE_EQ(v.app().Live()->Elements().epochDay, 341.9) << "the download, chosen last";
}

// The window closes while the answer is on its way: no message after it, nothing kept.
TEST_F(OrbitElements, ClosingTheWindowCancelsTheDownload) {
    ViewerApp v({kModel});
    LocalServer server([](QTcpSocket *socket, const QByteArray &) {
        QTimer::singleShot(300, socket, [socket] {
            Respond(socket, "200 OK", StationSet("ISS (ZARYA)", "26341.90000000"));
        });
    });
    v.app().Profile().setValue("Orbit/Elements URL", server.Address("/gp.php?CATNR={catalog}"));
    v.app().DispatchCommand(ID_ORBIT_UPDATE_ELEMENTS);
    ASSERT_TRUE(SettleUntil([&] { return server.requests.size() == 1; }, 2000));
    v.app().MainWindow()->close();
    EXPECT_TRUE(SettleUntil([&] { return server.open == 0; }, 1000)) << "the connection is closed";
    ViewerApp::Settle(500);
    EXPECT_TRUE(v.messages.shown.empty()) << v.messages.shown[0].text;
    EXPECT_FALSE(v.app().Live()->Ready());
    EXPECT_FALSE(QFile::exists(Cache()));
}

// Live is live: going live runs the clock at once, whatever the simulation's timer
// did; Timer > Start / Stop pauses and resumes it, and the pause is marked; a viewer
// left live starts live again, running.
TEST(LiveMode, ClockRunsAtOncePausesAndComesBackLiveAfterARestart) {
    QTemporaryDir profile;
    const QString elements = QString::fromStdString(SourcePath("tests/data/live/station.tle"));
    const auto seconds = [](qint64 ms) { return static_cast<double>(ms) / 1000.0; };
    {
        ViewerApp v({kModel}, profile.path());
        MainFrame *main = v.app().MainWindow();
        auto *frame = static_cast<CChildFrame *>(main->ActiveChildFrame());
        LiveModel *live = v.app().Live();
        ASSERT_TRUE(v.app().Orbit()->OpenElementsFile(elements));
        EXPECT_EQ(frame->SceneView()->m_timerId, 0u) << "the simulation's timer was never started";
        const qint64 start = live->Clock().utcMs;
        const QImage first = frame->SceneView()->ShownPicture();
        ViewerApp::Settle(3000);
        EXPECT_NEAR(seconds(live->Clock().utcMs - start), 3.0, 1.0) << "running without the Timer menu";
        EXPECT_TRUE(!first.isNull() && first != frame->SceneView()->ShownPicture()) << "and drawn as it runs";
        EXPECT_TRUE(main->IsChecked(ID_TIMER_STARTSTOP));

        ASSERT_TRUE(ChooseMenuItem(main, "Timer", "Start / Stop"));
        EXPECT_FALSE(main->IsChecked(ID_TIMER_STARTSTOP));
        const qint64 paused = live->Clock().utcMs;
        ViewerApp::Settle(1000);
        EXPECT_EQ(live->Clock().utcMs, paused);
        EXPECT_EQ(ShownTimeSceneMarker(live->Clock()).substr(0, 9), "  [paused");
        EXPECT_EQ(frame->SceneView()->m_timerId, 0u) << "the live clock's pause, not the simulation's timer";
        ASSERT_TRUE(ChooseMenuItem(main, "Timer", "Start / Stop"));
        ViewerApp::Settle(1000);
        EXPECT_NEAR(seconds(live->Clock().utcMs - paused), 1.0, 0.6) << "running on from where it stood";

        // The simulated orbit keeps its own timer: still until Start / Stop.
        ASSERT_TRUE(ChooseMenuItem(main, "&File", "Simulated Orbit"));
        EXPECT_FALSE(main->IsChecked(ID_TIMER_STARTSTOP));
        ASSERT_TRUE(ChooseMenuItem(main, "Timer", "Start / Stop"));
        EXPECT_NE(frame->SceneView()->m_timerId, 0u);
        EXPECT_TRUE(main->IsChecked(ID_TIMER_STARTSTOP));
        ASSERT_TRUE(ChooseMenuItem(main, "&File", "Live Orbit"));
        ASSERT_TRUE(ChooseMenuItem(main, "Timer", "Start / Stop")); // paused as it is left
    }
    ViewerApp again({kModel}, profile.path());
    MainFrame *main = again.app().MainWindow();
    auto *doc = static_cast<CQUORDoc *>(main->ActiveChildFrame()->GetDocument());
    EXPECT_TRUE(doc->m_live) << "started live, as it was left";
    EXPECT_TRUE(main->IsChecked(ID_TIMER_STARTSTOP)) << "running, and the Timer menu shows it";
    const qint64 start = again.app().Live()->Clock().utcMs;
    ViewerApp::Settle(1000);
    EXPECT_NEAR(seconds(again.app().Live()->Clock().utcMs - start), 1.0, 0.6);
}
