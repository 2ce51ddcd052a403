// The live model: setters that change something say so once, and only then; the
// clock moves on from ticks while the live orbit is shown and runs.
#include "guitest.h"

#include "orbit/astro.h"
#include "shell/livemodel.h"

#include <QSignalSpy>
#include <QString>

#include <gtest/gtest.h>

namespace {

OrbitalElements Station() {
    std::string text, why;
    const ElementsFile parsed = ReadElementsText(SourcePath("tests/data/live/station.tle"), text, why)
                                    ? ParseElements(text)
                                    : ElementsFile();
    return parsed.sets.empty() ? OrbitalElements() : parsed.sets[0];
}

} // namespace

TEST(LiveModel, SettersSayWhatChangedOnceAndTicksMoveTheClockOnlyWhileShownAndRunning) {
    int64_t utc = UnixMsFromJulianDate(JulianDate(2026, 12, 8, 18, 0, 0)), elapsed = 0;
    LiveModel model(nullptr, [&] { return utc; }, [&] { return elapsed; });
    QSignalSpy elements(&model, &LiveModel::elementsChanged), observer(&model, &LiveModel::observerChanged),
        clock(&model, &LiveModel::clockChanged), ticked(&model, &LiveModel::ticked);

    const OrbitalElements station = Station();
    ASSERT_EQ(station.catalogNumber, 25544);
    ASSERT_TRUE(model.SetElements(station));
    ASSERT_TRUE(model.SetElements(station));
    EXPECT_EQ(elements.count(), 1) << "the same elements again change nothing";
    OrbitalElements broken = station;
    broken.eccentricity = 1.5;
    EXPECT_FALSE(model.SetElements(broken));
    EXPECT_FALSE(model.ElementsError().empty());
    EXPECT_EQ(model.Elements(), station) << "the elements in use stay";
    EXPECT_EQ(elements.count(), 1);
    OrbitalElements later = station;
    later.epochDay += 0.5;
    ASSERT_TRUE(model.SetElements(later));
    EXPECT_EQ(model.Elements(), later);
    EXPECT_EQ(elements.count(), 2);
    ASSERT_TRUE(model.SetElements(station));
    EXPECT_EQ(model.State().error, 0) << "a state at the clock's moment at once";

    ObserverPlace place;
    place.set = true;
    place.latitude = 51.48;
    model.SetPlace(place);
    model.SetPlace(place);
    EXPECT_EQ(observer.count(), 1);

    model.SetFactor(10.0f);
    model.SetFactor(10.0f);
    EXPECT_EQ(clock.count(), 1);

    // Not shown: ticks move nothing, and the passes follow the real time.
    bool shown = false;
    model.SetShownBy([&] { return shown; });
    elapsed += 1000;
    utc += 1000;
    model.Tick();
    EXPECT_EQ(ticked.count(), 0);
    EXPECT_EQ(model.ShownUtcMs(), utc);
    // Shown: each tick moves the clock at its factor and says so.
    model.SetTime(utc - 3600000);
    shown = true;
    model.Wake();
    const int clockChanges = clock.count();
    elapsed += 500;
    model.Tick();
    EXPECT_EQ(ticked.count(), 1);
    EXPECT_EQ(model.Clock().utcMs, utc - 3600000 + 5000);
    EXPECT_EQ(model.ShownUtcMs(), model.Clock().utcMs);
    EXPECT_NEAR(model.State().minutes, (JulianDateFromUnixMs(model.Clock().utcMs) - EpochJulianDate(station)) * 1440,
                1e-6)
        << "the station follows the tick";
    // Paused: ticks move nothing until it runs again.
    model.SetPaused(true);
    EXPECT_EQ(clock.count(), clockChanges + 1);
    elapsed += 500;
    model.Tick();
    EXPECT_EQ(ticked.count(), 1);
    EXPECT_EQ(model.Clock().utcMs, utc - 3600000 + 5000);
    model.SetPaused(false);
    elapsed += 100;
    model.Tick();
    EXPECT_EQ(model.Clock().utcMs, utc - 3600000 + 6000);
    // No longer shown: the shown time falls back to the real one, and that is a change.
    shown = false;
    model.Tick();
    EXPECT_EQ(clock.count(), clockChanges + 3);
    EXPECT_EQ(model.ShownUtcMs(), utc);

    // The next pass is searched for a place and a position only.
    model.SetTime(utc);
    EXPECT_NE(model.NextPass(), nullptr) << "a station passes over London within two days";
    model.SetPlace(ObserverPlace());
    EXPECT_EQ(model.NextPass(), nullptr);
}
