// The passes window: opened from the menu, its list in local time (zones with
// half-hour offsets, and across a change to summer time), the visible-only filter,
// a double-click that moves the live clock, and answers to older searches dropped.
#include "guitest.h"

#include "document/quordoc.h"
#include "orbit/astro.h"
#include "shell/childframe.h"
#include "shell/mainfrm.h"
#include "shell/orbitcommands.h"
#include "shell/passeswindow.h"
#include "view/core/livescene.h"
#include "view/core/observerpanel.h"
#include "view/core/skychart.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>

#include <time.h>

namespace {

const QString kModel = QString::fromStdString(SourcePath("data/station.3ds"));
const QString kElements = QString::fromStdString(SourcePath("tests/data/live/station.tle"));

int64_t g_now = 0;

// TZ for one test, put back as it was after it.
class ScopedZone {
public:
    explicit ScopedZone(const char *zone) : m_old(qgetenv("TZ")), m_had(qEnvironmentVariableIsSet("TZ")) {
        qputenv("TZ", zone);
        tzset();
    }
    ~ScopedZone() {
        if (m_had)
            qputenv("TZ", m_old);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray m_old;
    bool m_had;
};

OrbitalElements StationElements() {
    std::ifstream in(kElements.toStdString());
    std::stringstream text;
    text << in.rdbuf();
    const ElementsFile file = ParseElements(text.str());
    return file.sets.empty() ? OrbitalElements() : file.sets[0];
}

// The cell as a clock at that offset from UTC shows it, with the abbreviation.
QString ClockAt(double jd, int offsetMinutes, const char *abbreviation) {
    return QDateTime::fromMSecsSinceEpoch(UnixMsFromJulianDate(jd) + offsetMinutes * 60000LL, Qt::UTC)
               .toString("HH:mm:ss ") +
           abbreviation;
}

class PassesWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_now = UnixMsFromJulianDate(JulianDate(2026, 12, 8, 0, 0, 0));
        SetUtcNowSource([] { return g_now; });
    }
    void TearDown() override { SetUtcNowSource(nullptr); }
};

} // namespace

// Through the menu, in India's zone (UTC+5:30): the list in IST, the filter,
// a double-click that shows the pass in the live scene, a pass under way kept,
// and an answer to an older search that does not replace the newer one.
TEST_F(PassesWindowTest, ListsInLocalTimeFiltersAndDoubleClickMovesTheClock) {
    ScopedZone zone("Asia/Kolkata");
    QTemporaryDir profile;
    ViewerApp v({kModel}, profile.path());
    ASSERT_TRUE(v.started());
    ASSERT_TRUE(v.app().Orbit()->OpenElementsFile(kElements, false));
    MainFrame *main = v.app().MainWindow();
    auto *doc = static_cast<CQUORDoc *>(main->ActiveChildFrame()->GetDocument());
    doc->m_live = false;

    ASSERT_TRUE(ChooseMenuItem(main, "&File", "Passes\u2026"));
    PassesWindow *window = v.app().Orbit()->Passes();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isModal());
    ASSERT_TRUE(ChooseMenuItem(main, "&File", "Passes\u2026"));
    EXPECT_EQ(v.app().Orbit()->Passes(), window) << "one window";
    // Without a place it says how to give one; the list follows when one is set.
    window->Refresh();
    EXPECT_TRUE(window->findChild<QLabel *>("status")->text().contains("Set Location"));
    EXPECT_EQ(window->Model()->rowCount(), 0);
    ObserverPlace greenwich;
    greenwich.set = true;
    greenwich.name = "Greenwich";
    greenwich.latitude = 51.48;
    v.app().Live()->SetPlace(greenwich);
    ASSERT_TRUE(SettleUntil([&] { return window->Requests() > 0 && window->Answered(); }, 30000));
    PassesModel *model = window->Model();
    const int all = model->rowCount();
    ASSERT_GE(all, 20) << "ten days of a station's passes over London";
    const Pass *first = model->PassAt(0);
    ASSERT_NE(first, nullptr);
    EXPECT_GE(first->set.jd, JulianDateFromUnixMs(g_now));
    EXPECT_LT(model->PassAt(all - 1)->rise.jd, JulianDateFromUnixMs(g_now) + 10);
    EXPECT_TRUE(window->Chart()->HasPass()) << "the next pass is charted before any choice";
    EXPECT_EQ(model->index(0, PassesModel::Rise).data().toString(), ClockAt(first->rise.jd, 330, "IST"));
    EXPECT_EQ(model->index(0, PassesModel::Set).data().toString(),
              ClockAt(first->set.jd, 330, "IST").left(8));
    // Each duration is what the shown rise and set times make.
    for (int row = 0; row < all; ++row) {
        const QTime rise = QTime::fromString(model->index(row, PassesModel::Rise).data().toString().left(8));
        const QTime set = QTime::fromString(model->index(row, PassesModel::Set).data().toString());
        const int seconds = (rise.secsTo(set) + 86400) % 86400;
        EXPECT_EQ(model->index(row, PassesModel::Duration).data().toString(),
                  QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar('0')))
            << "row " << row;
    }

    // Visible only: just those, and remembered.
    int visible = 0;
    for (int row = 0; row < all; ++row)
        visible += model->PassAt(row)->visible;
    ASSERT_GT(visible, 0);
    ASSERT_LT(visible, all);
    window->findChild<QCheckBox *>("visibleOnly")->click();
    ASSERT_EQ(model->rowCount(), visible);
    for (int row = 0; row < visible; ++row)
        EXPECT_TRUE(model->PassAt(row)->visible);
    EXPECT_TRUE(v.app().Profile().value("Passes/Visible Only").toBool());

    // Selecting draws the path; a double-click shows the pass a minute before it rises.
    QTableView *table = window->Table();
    table->selectRow(1);
    EXPECT_TRUE(window->Chart()->HasPass());
    const Pass chosen = *model->PassAt(1);
    const QRect cell = table->visualRect(model->index(1, PassesModel::Rise));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_TRUE(doc->m_live) << "the active document shows the live orbit";
    EXPECT_EQ(v.app().Live()->Clock().utcMs, UnixMsFromJulianDate(chosen.rise.jd) - 60000);
    // A pass leaves the list by itself once it is over, at the clock's own speed.
    v.app().Live()->SetTime(UnixMsFromJulianDate(chosen.set.jd) - 3000);
    v.app().Live()->SetFactor(10.0f);
    ASSERT_TRUE(SettleUntil([&] { return window->Answered() && model->PassAt(0); }, 30000));
    EXPECT_NEAR(model->PassAt(0)->rise.jd, chosen.rise.jd, 1e-6) << "under way, still listed";
    const int searches = window->Requests();
    EXPECT_TRUE(SettleUntil(
        [&] { return window->Answered() && (!model->PassAt(0) || model->PassAt(0)->rise.jd > chosen.set.jd); },
        3000));
    EXPECT_GT(window->Requests(), searches) << "searched again from then: the days ahead stay listed";
    v.app().Live()->SetFactor(1.0f);

    // Halfway through it, it is still listed, first; the searches follow the live clock.
    v.app().Live()->SetTime(UnixMsFromJulianDate((chosen.rise.jd + chosen.set.jd) / 2));
    window->Refresh();
    ASSERT_TRUE(SettleUntil([&] { return window->Answered(); }, 30000));
    ASSERT_GT(model->rowCount(), 0);
    EXPECT_NEAR(model->PassAt(0)->rise.jd, chosen.rise.jd, 1e-6);
    const QModelIndexList selected = table->selectionModel()->selectedRows();
    EXPECT_TRUE(selected.size() == 1 && selected[0].row() == 0) << "the pass stays selected in the new list";
    EXPECT_TRUE(window->Chart()->HasPass());
    // The clock stepped back a day before it: the next pass from there is selected, not the pick.
    auto *visibleOnly = window->findChild<QCheckBox *>("visibleOnly");
    visibleOnly->click();
    ASSERT_GE(model->rowCount(), 2);
    table->selectRow(1);
    const double picked = model->PassAt(1)->rise.jd;
    v.app().Live()->SetTime(UnixMsFromJulianDate(chosen.rise.jd - 1.0));
    window->Refresh();
    ASSERT_TRUE(SettleUntil([&] { return window->Answered(); }, 30000));
    ASSERT_GE(model->RowOf(picked), 0) << "still listed";
    EXPECT_EQ(table->selectionModel()->selectedRows().value(0).row(), 0);
    EXPECT_FALSE(window->findChild<QLabel *>("status")->text().contains("Warning"));
    // Elements two months old still list passes, with a word on how far to trust them.
    v.app().Live()->SetTime(UnixMsFromJulianDate(EpochJulianDate(v.app().Live()->Elements()) + 60.2));
    window->Refresh();
    ASSERT_TRUE(SettleUntil([&] { return window->Answered(); }, 30000));
    EXPECT_GT(model->rowCount(), 0);
    EXPECT_TRUE(window->findChild<QLabel *>("status")->text().endsWith(
        "\nWarning: the elements are 60 days old, so these passes may be far off; update them (File > Update "
        "Elements)."))
        << window->findChild<QLabel *>("status")->text().toStdString();
    v.app().Live()->SetTime(UnixMsFromJulianDate((chosen.rise.jd + chosen.set.jd) / 2));
    window->Refresh();
    ASSERT_TRUE(SettleUntil([&] { return window->Answered(); }, 30000));
    visibleOnly->click();

    // A newer search asked; an older answer arriving late is dropped.
    const int older = window->Requests();
    window->findChild<QSpinBox *>("days")->setValue(2);
    ASSERT_EQ(window->Requests(), older + 1);
    EXPECT_FALSE(window->Answered());
    ASSERT_TRUE(SettleUntil([&] { return window->Answered(); }, 30000));
    const int shorter = model->rowCount();
    ASSERT_GT(shorter, 0);
    EXPECT_LT(model->PassAt(shorter - 1)->rise.jd, JulianDateFromUnixMs(v.app().Live()->Clock().utcMs) + 2);
    window->Deliver(older, std::make_shared<PassListing>());
    EXPECT_EQ(model->rowCount(), shorter) << "the newer answer stays";
    EXPECT_EQ(v.app().Profile().value("Passes/Days").toInt(), 2);
    // The choices are kept: a window made again opens with them.
    window->findChild<QSpinBox *>("minElevation")->setValue(0);
    window->findChild<QCheckBox *>("utc")->click();
    PassesWindow again(&v.app(), v.app().Live());
    EXPECT_EQ(again.findChild<QSpinBox *>("days")->value(), 2);
    EXPECT_EQ(again.findChild<QSpinBox *>("minElevation")->value(), 0);
    EXPECT_TRUE(again.findChild<QCheckBox *>("visibleOnly")->isChecked());
    EXPECT_TRUE(again.findChild<QCheckBox *>("utc")->isChecked());

    // Where the elements give no position, the status says so instead of listing.
    v.app().Live()->SetTime(v.app().Live()->Clock().utcMs - std::llround(69 * 365.25 * 86400000.0));
    window->Refresh();
    ASSERT_TRUE(SettleUntil([&] { return window->Answered(); }, 30000));
    EXPECT_EQ(model->rowCount(), 0);
    const QString status = window->findChild<QLabel *>("status")->text();
    EXPECT_TRUE(status.startsWith("No passes: the elements lie 2520") &&
                status.endsWith(" days in the future."))
        << status.toStdString();
}

// In Newfoundland (UTC-3:30, summer UTC-2:30), over the night summer time begins:
// each pass's clock and abbreviation are those of its own side of the change; the
// UTC option shows UTC.
TEST_F(PassesWindowTest, LocalTimesEitherSideOfSummerTimeWithHalfHourOffsets) {
    ScopedZone zone("America/St_Johns");
    PassRequest request;
    request.elements = StationElements();
    request.place.set = true;
    request.place.latitude = 47.56;
    request.place.longitude = -52.71;
    request.search.startJd = JulianDate(2027, 3, 12, 12, 0, 0);
    request.search.endJd = request.search.startJd + 4;
    request.search.minElevation = 0;
    auto listing = std::make_shared<PassListing>(ListPasses(request, 4));
    ASSERT_GE(listing->passes.size(), 8u);
    PassesModel model;
    model.SetNow(request.search.startJd);
    model.SetListing(listing);
    ASSERT_EQ(model.rowCount(), int(listing->passes.size()));
    // 2 a.m. standard time on 14 March 2027 is 05:30 UTC.
    const double change = JulianDate(2027, 3, 14, 5, 30, 0);
    int before = 0, after = 0;
    for (int row = 0; row < model.rowCount(); ++row) {
        const double rise = model.PassAt(row)->rise.jd;
        const bool summer = rise >= change;
        (summer ? after : before)++;
        EXPECT_EQ(model.index(row, PassesModel::Rise).data().toString(),
                  summer ? ClockAt(rise, -150, "NDT") : ClockAt(rise, -210, "NST"));
    }
    EXPECT_GT(before, 0);
    EXPECT_GT(after, 0);
    // Every cell is told to redraw, so no row of the view keeps the zone before.
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.SetUtc(true);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].value<QModelIndex>(), model.index(0, 0));
    EXPECT_EQ(changed[0][1].value<QModelIndex>(),
              model.index(model.rowCount() - 1, PassesModel::ColumnCount - 1));
    const double rise = model.PassAt(0)->rise.jd;
    EXPECT_EQ(model.index(0, PassesModel::Rise).data().toString(), ClockAt(rise, 0, "UTC"));
}

// The chart as painted at twice the pixels: the horizon round the middle, the
// path west of the zenith (sunlit, bright) on the right and east of it (not
// seen) on the left, each where the projection puts it.
TEST(SkyChartPainting, HorizonAndPathWhereTheProjectionPutsThemAtDoubleDensity) {
    int argc = 1;
    char name[] = "quor_gui_tests";
    char *argv[] = {name, nullptr};
    std::unique_ptr<QApplication> app(QApplication::instance() ? nullptr : new QApplication(argc, argv));
    SkyChart chart;
    chart.resize(300, 330);
    Pass pass;
    pass.rise = {0, 270, 10};
    pass.culmination = {0.5, 270, 89};
    pass.set = {1, 90, 10};
    std::vector<SkyTrackPoint> track;
    for (int el = 10; el <= 89; ++el)
        track.push_back({el / 200.0, 270, double(el), true});
    for (int el = 89; el >= 10; --el)
        track.push_back({1 - el / 200.0, 90, double(el), false});
    chart.SetPass(&pass, &track, 10, "Tue 08 Dec, 17:04:26 GMT");
    QImage image(600, 660, QImage::Format_ARGB32);
    image.setDevicePixelRatio(2);
    image.fill(Qt::black);
    chart.render(&image);
    double cx = 0, cy = 0, radius = 0;
    chart.Horizon(cx, cy, radius);
    EXPECT_GT(radius, 100);
    const auto pixel = [&](double az, double el) {
        const ChartPoint p = SkyChartPosition(az, el, cx, cy, radius);
        return image.pixelColor(int(std::lround(p.x * 2)), int(std::lround(p.y * 2)));
    };
    const QColor north = pixel(0, 0), south = pixel(180, 0);
    EXPECT_GT(north.lightness(), 150) << "the horizon's circle";
    EXPECT_GT(south.lightness(), 150);
    const QColor west = pixel(270, 40);
    EXPECT_TRUE(west.red() > 200 && west.green() > 170 && west.blue() < 140)
        << "bright where visible, on the right: " << west.name().toStdString();
    int dimOnPath = 0, brightOnPath = 0;
    for (int el = 20; el <= 70; ++el) {
        const QColor east = pixel(90, el);
        dimOnPath += east.blue() > 150 && east.lightness() > 120;
        brightOnPath += east.red() > 200 && east.blue() < 140;
    }
    EXPECT_GT(dimOnPath, 10) << "dashed but there, on the left";
    EXPECT_EQ(brightOnPath, 0);
}
