#pragma once
// The live orbit's state, owned by the application: the elements in use, the
// watcher's place, the live clock and the next pass. Its setters compare, then
// say what changed; the views, the data panel and the passes window listen. The
// clock moves on here, from one timer, while a document shows the live orbit.
#include "../orbit/liveclock.h"
#include "../orbit/liveorbit.h"
#include "../orbit/place.h"
#include "../view/core/observerpanel.h"
#include "../view/scenerenderer.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <string>

class LiveModel : public QObject {
    Q_OBJECT
public:
    explicit LiveModel(QObject *parent = nullptr, LiveClock::Source utcNow = UtcNowMs,
                       LiveClock::Source elapsed = ElapsedMs);

    // False, changing nothing, when the elements cannot be propagated (ElementsError says why).
    bool SetElements(const OrbitalElements &elements);
    bool Ready() const { return m_orbit.Ready(); }
    const OrbitalElements &Elements() const { return m_orbit.Elements(); }
    const LiveOrbit &Orbit() const { return m_orbit; }
    const std::string &ElementsError() const { return m_elementsError; }

    const ObserverPlace &Place() const { return m_place; }
    void SetPlace(const ObserverPlace &place);

    // "Now": the real time at real speed, running.
    void Now();
    void SetTime(int64_t utcMs);
    void SetFactor(float factor);
    void SetPaused(bool paused);
    const ClockReading &Clock() const { return m_clock.Reading(); }

    // Tells whether a document shows the live orbit; the clock ticks only then.
    void SetShownBy(std::function<bool()> shown);
    bool Shown() const { return m_shown && m_shown(); }
    // Starts the ticks when the live orbit is shown and the clock runs.
    void Wake();
    // The moment the passes follow: the clock's while the live orbit is shown, else now.
    int64_t ShownUtcMs() const;

    // One step of the clock to the present, as the frame timer makes it.
    void Tick();
    // The station at the clock's moment.
    const LiveState &State() const { return m_state; }
    // The pass up at the clock's moment or the next to rise over the place; null
    // when none is near, no place is set or there is no position (NextPassReason).
    const Pass *NextPass();
    const std::string &NextPassReason() const { return m_nextPass.Reason(); }

    // What a live frame draws, as it stands.
    LiveSceneInput SceneInput();

    static constexpr int kTickMs = 20;

signals:
    void elementsChanged();
    void observerChanged();
    // The clock was set, sped up, slowed, paused or resumed: a jump, not a tick.
    void clockChanged();
    // The clock moved on by itself.
    void ticked();

private:
    void ClockSet();
    void UpdateState();

    LiveOrbit m_orbit;
    std::string m_elementsError;
    ObserverPlace m_place;
    LiveClock m_clock;
    LiveState m_state;
    NextPassFinder m_nextPass;
    QTimer m_timer;
    std::function<bool()> m_shown;
    bool m_wasShown = false;
};

// Points `held` at `model`, dropping `context`'s connections to the one held before;
// `react` then runs (in `context`'s lifetime) on every change and tick of the new
// one: what a view showing the live orbit repaints on.
void FollowLiveModel(QPointer<LiveModel> &held, LiveModel *model, QObject *context,
                     const std::function<void()> &react);
