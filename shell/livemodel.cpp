#include "livemodel.h"

#include "../view/core/livescene.h"

LiveModel::LiveModel(QObject *parent, LiveClock::Source utcNow, LiveClock::Source elapsed)
    : QObject(parent), m_clock(std::move(utcNow), std::move(elapsed)) {
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &LiveModel::Tick);
    UpdateState();
}

bool LiveModel::SetElements(const OrbitalElements &elements) {
    LiveOrbit trial;
    if (!trial.SetElements(elements)) {
        m_elementsError = trial.ErrorText();
        return false;
    }
    m_elementsError.clear();
    if (m_orbit.Ready() && m_orbit.Elements() == elements)
        return true;
    m_orbit = trial;
    UpdateState();
    emit elementsChanged();
    return true;
}

void LiveModel::SetPlace(const ObserverPlace &place) {
    if (place == m_place)
        return;
    m_place = place;
    emit observerChanged();
}

void LiveModel::Now() {
    m_clock.Now();
    ClockSet();
}

void LiveModel::SetTime(int64_t utcMs) {
    m_clock.SetTime(utcMs);
    ClockSet();
}

void LiveModel::SetFactor(float factor) {
    if (factor == m_clock.Factor())
        return;
    m_clock.SetFactor(factor);
    ClockSet();
}

void LiveModel::SetPaused(bool paused) {
    if (paused == m_clock.Paused())
        return;
    m_clock.SetPaused(paused);
    ClockSet();
}

void LiveModel::ClockSet() {
    UpdateState();
    Wake();
    emit clockChanged();
}

void LiveModel::SetShownBy(std::function<bool()> shown) {
    m_shown = std::move(shown);
    Wake();
}

void LiveModel::Wake() {
    const bool shown = Shown();
    if (shown && !m_clock.Paused()) {
        if (!m_timer.isActive())
            m_timer.start();
    } else {
        m_timer.stop();
    }
    // The shown time comes from the clock or from the system's UTC: a jump either way.
    if (shown != m_wasShown) {
        m_wasShown = shown;
        emit clockChanged();
    }
}

int64_t LiveModel::ShownUtcMs() const {
    return Shown() ? m_clock.Time() : m_clock.SystemUtc();
}

void LiveModel::Tick() {
    // Nothing shows the live orbit any more, or the clock stands: no reason to wake.
    if (!Shown() || m_clock.Paused()) {
        Wake();
        return;
    }
    m_clock.Advance();
    UpdateState();
    emit ticked();
}

void LiveModel::UpdateState() {
    m_state = m_orbit.At(JulianDateFromUnixMs(m_clock.Time()));
}

const Pass *LiveModel::NextPass() {
    if (!m_place.set || !m_orbit.Ready() || !HasPosition(m_state))
        return nullptr;
    return m_nextPass.Next(m_orbit.Elements(), m_place, JulianDateFromUnixMs(m_clock.Time()));
}

LiveSceneInput LiveModel::SceneInput() {
    LiveSceneInput input;
    input.orbits.push_back(&m_orbit);
    input.clock = m_clock.Reading();
    input.place = &m_place;
    input.pass = NextPass();
    return input;
}

void FollowLiveModel(QPointer<LiveModel> &held, LiveModel *model, QObject *context,
                     const std::function<void()> &react) {
    if (held)
        QObject::disconnect(held, nullptr, context, nullptr);
    held = model;
    if (!model)
        return;
    QObject::connect(model, &LiveModel::ticked, context, react);
    QObject::connect(model, &LiveModel::clockChanged, context, react);
    QObject::connect(model, &LiveModel::elementsChanged, context, react);
    QObject::connect(model, &LiveModel::observerChanged, context, react);
}
