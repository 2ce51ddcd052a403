#include "orbitcommands.h"

#include "../document/quordoc.h"
#include "../resources/ids.h"
#include "../view/quorview.h"
#include "application.h"
#include "childframe.h"
#include "elementsdownload.h"
#include "livemodel.h"
#include "locationdialog.h"
#include "mdiframe.h"
#include "passeswindow.h"
#include "settimedialog.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QStatusBar>

#include <algorithm>
#include <cmath>

namespace {

constexpr const char *kElementsFileKey = "Orbit/Elements File";
constexpr const char *kSourceKey = "Orbit/Elements Source"; // "file" or "download"
constexpr const char *kSatelliteKey = "Orbit/Catalogue Number";
constexpr const char *kSetEpochKey = "Orbit/Epoch"; // Julian date of the set chosen last
constexpr const char *kElementsUrlKey = "Orbit/Elements URL";
constexpr const char *kFetchedKey = "Orbit/Elements Fetched"; // UTC, ISO 8601
constexpr const char *kFetchedNumberKey = "Orbit/Fetched Catalogue Number";
constexpr const char *kLiveKey = "Orbit/Live"; // whether the active document was live
constexpr const char *kSetTimeUtcKey = "Orbit/Set Time in UTC"; // the zone chosen last
constexpr const char *kObserverNameKey = "Observer/Name";
constexpr const char *kObserverLatitudeKey = "Observer/Latitude";   // degrees, north positive
constexpr const char *kObserverLongitudeKey = "Observer/Longitude"; // degrees, east positive
constexpr const char *kObserverHeightKey = "Observer/Height";       // metres above sea level
// How long the status bar says that an update worked.
constexpr int kUpdatedMessageMs = 15000;
// The station the viewer is about, where a file has it.
constexpr int kStationCatalogueNumber = 25544;

// The scene view ignores document updates: its panes are asked to paint again.
void Repaint(ChildFrame *frame) {
    if (!frame)
        return;
    for (QWidget *pane : frame->findChildren<QWidget *>())
        pane->update();
}

QString UtcText(qint64 unixMs) {
    return QDateTime::fromMSecsSinceEpoch(unixMs, Qt::UTC).toString("yyyy-MM-dd HH:mm 'UTC'");
}

QString Named(const OrbitalElements &set) {
    return QStringLiteral("%1 (%2)").arg(QString::fromStdString(DisplayName(set))).arg(set.catalogNumber);
}

} // namespace

OrbitCommands::OrbitCommands(Application *app, LiveModel *live) : QObject(app), m_app(app), m_live(live) {
    m_live->SetShownBy([this] { return AnyLiveDocument(); });
    app->MapCommand(ID_ORBIT_OPEN_ELEMENTS, [this] { OnOpenElements(); });
    app->MapCommand(ID_ORBIT_UPDATE_ELEMENTS, [this] { OnUpdateElements(); });
    app->MapCommand(ID_ORBIT_SIMULATED, [this] { SetLive(ActiveDocument(), false); });
    app->MapCommand(ID_ORBIT_LIVE, [this] { SetLive(ActiveDocument(), true); });
    // The clock and the track belong to the live orbit: the simulated one has neither.
    const auto showsLive = [this] {
        const CQUORDoc *doc = ActiveDocument();
        return doc && doc->m_live;
    };
    app->MapCommand(
        ID_ORBIT_NOW, [this] { OnNow(); }, showsLive);
    app->MapCommand(
        ID_ORBIT_SET_TIME, [this] { OnSetTime(); }, showsLive);
    app->MapCommand(
        ID_ORBIT_GROUND_TRACK, [this] { OnGroundTrack(); }, showsLive);
    app->MapCommand(ID_ORBIT_SET_LOCATION, [this] { OnSetLocation(); });
    // The sky from the watcher's place: the live orbit, once there is a place.
    app->MapCommand(
        ID_VIEW_FROMHERE,
        [this] {
            if (CQUORDoc *doc = ActiveDocument()) {
                doc->m_viewMode = ViewFromHere;
                doc->UpdateAllViews(nullptr, 0);
                Repaint(m_app->FrameOf(doc));
            }
        },
        [this, showsLive] { return showsLive() && m_live->Place().set; });
    app->MapCommand(ID_ORBIT_PASSES, [this] { OnPasses(); });
    RestoreLocation();
    // A place set in another viewer with the same profile is taken here too.
    connect(app, &Application::ProfileChanged, this, &OrbitCommands::RestoreLocation);
    connect(app, &Application::DocumentOpened, this, [this](Document *doc) {
        if (m_liveOnOpen == LiveOnOpen::Off || !m_live->Ready())
            return;
        SetLive(static_cast<CQUORDoc *>(doc), true);
        if (m_liveOnOpen == LiveOnOpen::First)
            m_liveOnOpen = LiveOnOpen::Off;
    });
}

OrbitCommands::~OrbitCommands() = default;

CQUORDoc *OrbitCommands::ActiveDocument() const {
    ChildFrame *frame = m_app->MainWindow() ? m_app->MainWindow()->ActiveChildFrame() : nullptr;
    return frame ? static_cast<CQUORDoc *>(frame->GetDocument()) : nullptr;
}

bool OrbitCommands::AnyLiveDocument() const {
    for (Document *doc : m_app->Documents()) {
        if (static_cast<CQUORDoc *>(doc)->m_live)
            return true;
    }
    return false;
}

QUrl OrbitCommands::ElementsUrl(const QString &pattern, int catalogNumber) {
    QString text = pattern;
    text.replace(QStringLiteral("{catalog}"), QString::number(catalogNumber));
    return QUrl(text);
}

QString OrbitCommands::SetLabel(const OrbitalElements &set) {
    return QStringLiteral("%1, epoch %2")
        .arg(Named(set), QDateTime::fromMSecsSinceEpoch(UnixMsFromJulianDate(EpochJulianDate(set)), Qt::UTC)
                             .toString("yyyy-MM-dd HH:mm:ss 'UTC'"));
}

int OrbitCommands::WantedCatalogueNumber() const {
    return m_app->Profile().value(kSatelliteKey, kStationCatalogueNumber).toInt();
}

bool OrbitCommands::OpenElementsFile(const QString &path, bool ask) {
    if (!OpenElements(path, ask, false, Source::File))
        return false;
    // Elements are opened to be seen: a document showing the simulated orbit goes live.
    CQUORDoc *doc = ActiveDocument();
    if (doc && !doc->m_live) {
        SetLive(doc, true);
        if (doc->m_live && m_app->MainWindow())
            m_app->MainWindow()->statusBar()->showMessage(
                QStringLiteral("Switched to the live orbit of %1, from %2.")
                    .arg(Named(m_live->Elements()), QFileInfo(path).fileName()),
                kUpdatedMessageMs);
    }
    return true;
}

bool OrbitCommands::OpenElements(const QString &path, bool ask, bool restoring, Source source) {
    std::string text, why;
    if (!ReadElementsText(QFile::encodeName(path).toStdString(), text, why)) {
        if (ask)
            ShowMessage(QStringLiteral("Orbital elements cannot be read from %1 (%2).")
                            .arg(QDir::toNativeSeparators(path), QString::fromStdString(why))
                            .toStdString(),
                        kAppCaption, MessageIcon::Exclamation);
        return false;
    }
    const ElementsFile parsed = ParseElements(text);
    if (parsed.error || parsed.sets.empty()) {
        if (ask) {
            // The parser's words name the line (and column) themselves.
            const QString where = QDir::toNativeSeparators(path) +
                                  (parsed.error ? ", " + QString::fromStdString(parsed.error->message)
                                                : QStringLiteral(": no orbital elements in it"));
            ShowMessage(("Cannot use these orbital elements.\n" + where).toStdString(), kAppCaption,
                        MessageIcon::Exclamation);
        }
        return false;
    }
    const int chosen = ChooseSet(parsed.sets, ask, restoring);
    if (chosen < 0)
        return false;
    const OrbitalElements &set = parsed.sets[static_cast<size_t>(chosen)];
    if (!m_live->SetElements(set)) {
        if (ask)
            ShowMessage(QStringLiteral("The elements of %1 cannot be propagated: %2.")
                            .arg(Named(set), QString::fromStdString(m_live->ElementsError()))
                            .toStdString(),
                        kAppCaption, MessageIcon::Exclamation);
        return false;
    }
    if (source == Source::File)
        m_app->Profile().setValue(kElementsFileKey, QFileInfo(path).absoluteFilePath());
    Remember(set, source);
    // New elements are looked at now, whatever moment or speed was shown before.
    m_live->Now();
    return true;
}

int OrbitCommands::ChooseSet(const std::vector<OrbitalElements> &sets, bool ask, bool restoring) {
    const int wanted = WantedCatalogueNumber();
    int chosen = -1;
    if (restoring && m_app->Profile().contains(kSetEpochKey)) {
        const double epoch = m_app->Profile().value(kSetEpochKey).toDouble();
        for (size_t i = 0; i < sets.size() && chosen < 0; ++i) {
            // A millisecond: the epoch is written with eight decimals of a day.
            if (sets[i].catalogNumber == wanted && std::fabs(EpochJulianDate(sets[i]) - epoch) < 1e-8)
                chosen = static_cast<int>(i);
        }
    }
    // The remembered station, else the space station, else the first set.
    if (chosen < 0)
        chosen = NewestSet(sets, wanted);
    if (chosen < 0)
        chosen = NewestSet(sets, kStationCatalogueNumber);
    if (chosen < 0)
        chosen = 0;
    if (!ask || sets.size() < 2)
        return chosen;

    QStringList labels;
    for (const OrbitalElements &set : sets)
        labels << SetLabel(set);
    QInputDialog dialog(m_app->MainWindow());
    dialog.setObjectName(QStringLiteral("StationChooser"));
    dialog.setWindowTitle(QStringLiteral("Choose the Station"));
    dialog.setLabelText(QStringLiteral("Elements to follow:"));
    dialog.setComboBoxItems(labels);
    dialog.setComboBoxEditable(false);
    dialog.setTextValue(labels[chosen]);
    // The list is picked by row: two sets may read alike.
    QComboBox *box = dialog.findChild<QComboBox *>();
    if (box)
        box->setCurrentIndex(chosen);
    // Wide enough for the window manager's title and buttons, which the layout does not know.
    dialog.setMinimumWidth(std::max(dialog.sizeHint().width(),
                                    dialog.fontMetrics().horizontalAdvance(dialog.windowTitle()) * 2 + 200));
    if (dialog.exec() != QDialog::Accepted || !box || box->currentIndex() < 0)
        return -1;
    return box->currentIndex();
}

void OrbitCommands::Remember(const OrbitalElements &set, Source source) {
    QSettings &profile = m_app->Profile();
    profile.setValue(kSourceKey,
                     source == Source::File ? QStringLiteral("file") : QStringLiteral("download"));
    profile.setValue(kSatelliteKey, set.catalogNumber);
    profile.setValue(kSetEpochKey, QString::number(EpochJulianDate(set), 'f', 8));
}

bool OrbitCommands::RestoreElements() {
    const QString path = m_app->Profile().value(kElementsFileKey).toString();
    QString source = m_app->Profile().value(kSourceKey).toString();
    // Profiles from before the choice was kept named the cache as the file after an update.
    if (source.isEmpty() && !path.isEmpty())
        source = QFileInfo(path) == QFileInfo(ElementsDownload::CachePath()) ? "download" : "file";
    if (source == "download")
        return OpenElements(ElementsDownload::CachePath(), false, true, Source::Download);
    if (source == "file" && !path.isEmpty())
        return OpenElements(path, false, true, Source::File);
    return false;
}

void OrbitCommands::SetLive(CQUORDoc *doc, bool live) {
    if (!doc)
        return;
    if (live && !m_live->Ready()) {
        OnOpenElements();
        if (!m_live->Ready())
            return;
    }
    // Live means now, at real speed, running, whatever the simulation's timer does.
    if (live)
        m_live->Now();
    doc->m_live = live;
    // The simulated orbit has no place to look up from.
    if (!live && doc->m_viewMode == ViewFromHere)
        doc->m_viewMode = ViewFromSpace;
    doc->UpdateAllViews(nullptr, 0);
    Repaint(m_app->FrameOf(doc));
    m_live->Wake();
    if (doc == ActiveDocument() || m_app->Documents().size() == 1)
        m_app->Profile().setValue(kLiveKey, live);
}

void OrbitCommands::SetLiveOnOpen(LiveOnOpen which) {
    m_liveOnOpen = which;
}

void OrbitCommands::RememberLiveChoice() {
    if (const CQUORDoc *doc = ActiveDocument())
        m_app->Profile().setValue(kLiveKey, doc->m_live);
}

bool OrbitCommands::WasLive() const {
    return m_app->Profile().value(kLiveKey, false).toBool();
}

void OrbitCommands::OnOpenElements() {
    const QString last = m_app->Profile().value(kElementsFileKey).toString();
    QFileDialog dialog(m_app->MainWindow(), QStringLiteral("Open Orbit Elements"),
                       last.isEmpty() ? QDir::currentPath() : QFileInfo(last).absolutePath());
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters(
        {QStringLiteral("Orbital Elements (*.tle *.txt)"), QStringLiteral("All Files (*)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    OpenElementsFile(dialog.selectedFiles().first());
}

bool OrbitCommands::KeptSet(int catalogNumber, OrbitalElements &set) {
    std::string text, why;
    if (!ReadElementsText(QFile::encodeName(ElementsDownload::CachePath()).toStdString(), text, why))
        return false;
    const ElementsFile parsed = ParseElements(text);
    const int chosen = parsed.error ? -1 : NewestSet(parsed.sets, catalogNumber);
    if (chosen < 0)
        return false;
    set = parsed.sets[static_cast<size_t>(chosen)];
    return true;
}

bool OrbitCommands::FetchedRecently() {
    QSettings &profile = m_app->Profile();
    const QDateTime fetched = QDateTime::fromString(profile.value(kFetchedKey).toString(), Qt::ISODate);
    const qint64 now = UtcNowMs();
    const int wanted = WantedCatalogueNumber();
    if (!fetched.isValid() || profile.value(kFetchedNumberKey).toInt() != wanted ||
        now < fetched.toMSecsSinceEpoch() || now - fetched.toMSecsSinceEpoch() >= kFreshMs)
        return false;
    // The rule is the catalogue's, for a set we still have: a lost or emptied cache is fetched again.
    OrbitalElements kept;
    if (!KeptSet(wanted, kept))
        return false;
    // A file opened since then gives way to the fetched set, which is kept.
    const bool inUse = profile.value(kSourceKey).toString() == "download" && m_live->Ready() &&
                       m_live->Elements().catalogNumber == wanted;
    if (!inUse && !OpenElements(ElementsDownload::CachePath(), false, false, Source::Download))
        return false;
    ShowMessage(QStringLiteral("The elements of %1 are current: they were fetched at %2, less than two "
                               "hours ago. The catalogue gives the same elements at most once in two "
                               "hours; they can be fetched again from %3.")
                    .arg(Named(kept), UtcText(fetched.toMSecsSinceEpoch()),
                         UtcText(fetched.toMSecsSinceEpoch() + kFreshMs))
                    .toStdString(),
                kAppCaption, MessageIcon::Information);
    return true;
}

void OrbitCommands::OnUpdateElements() {
    if (m_download && m_download->IsRunning())
        return; // the update running is the one asked for
    if (FetchedRecently())
        return;
    if (!m_download) {
        m_download = new ElementsDownload(this);
        connect(m_download, &ElementsDownload::Progress, this, [this](qint64 received, qint64 total) {
            if (QStatusBar *bar = m_app->MainWindow() ? m_app->MainWindow()->statusBar() : nullptr)
                bar->showMessage(
                    total > 0
                        ? QStringLiteral("Downloading elements: %1 of %2 bytes").arg(received).arg(total)
                        : QStringLiteral("Downloading elements: %1 bytes").arg(received));
        });
        connect(m_download, &ElementsDownload::Finished, this, &OrbitCommands::OnDownloaded);
        connect(m_download, &ElementsDownload::Failed, this, [this](const QString &message) {
            if (m_app->MainWindow())
                m_app->MainWindow()->ShowIdleMessage();
            ShowMessage(message.toStdString(), kAppCaption, MessageIcon::Exclamation);
        });
    }
    if (MainFrame *main = m_app->MainWindow())
        main->installEventFilter(this); // once: Qt keeps one filter per object
    const int wanted = WantedCatalogueNumber();
    m_download->Start(ElementsUrl(
        m_app->Profile().value(kElementsUrlKey, QString::fromUtf8(kDefaultElementsUrl)).toString(), wanted));
    // From the first moment, not only once bytes arrive.
    if (m_download->IsRunning() && m_app->MainWindow())
        m_app->MainWindow()->statusBar()->showMessage(
            QStringLiteral("Downloading the elements of %1 from %2\u2026")
                .arg(wanted)
                .arg(m_download->Host()));
}

void OrbitCommands::OnDownloaded(const QByteArray &text) {
    if (m_app->MainWindow())
        m_app->MainWindow()->ShowIdleMessage();
    const QString host = m_download->Host();
    const ElementsFile parsed = ParseElements(std::string_view(text.constData(), size_t(text.size())));
    const int wanted = WantedCatalogueNumber();
    const int chosen = NewestSet(parsed.sets, wanted);
    if (chosen < 0) {
        // Another satellite's set must not take the station's place.
        QStringList held;
        for (size_t i = 0; i < parsed.sets.size() && i < 3; ++i)
            held << Named(parsed.sets[i]);
        if (parsed.sets.size() > 3)
            held << QStringLiteral("%1 more").arg(parsed.sets.size() - 3);
        ShowMessage(QStringLiteral("The answer from %1 holds no elements of the chosen station (%2), only "
                                   "those of %3. The elements in use stay.")
                        .arg(host)
                        .arg(wanted)
                        .arg(held.join(", "))
                        .toStdString(),
                    kAppCaption, MessageIcon::Exclamation);
        return;
    }
    const OrbitalElements &set = parsed.sets[static_cast<size_t>(chosen)];
    // A set from the future (a wrong clock at the source, a year in the wrong century) or
    // older than the one kept would replace good elements with worse ones.
    const qint64 epochMs = UnixMsFromJulianDate(EpochJulianDate(set));
    const qint64 nowMs = UtcNowMs();
    if (epochMs > nowMs + kMaxEpochAheadMs) {
        ShowMessage(QStringLiteral("The elements of %1 from %2 have their epoch at %3, %4 days after now; "
                                   "elements are never made for the future, so they were not taken. The "
                                   "elements in use stay.")
                        .arg(Named(set), host, UtcText(epochMs))
                        .arg(QString::number((epochMs - nowMs) / 86400000.0, 'f', 1))
                        .toStdString(),
                    kAppCaption, MessageIcon::Exclamation);
        return;
    }
    OrbitalElements kept;
    if (KeptSet(set.catalogNumber, kept) && EpochJulianDate(kept) > EpochJulianDate(set)) {
        ShowMessage(QStringLiteral("The elements of %1 from %2 (epoch %3) are older than those already kept "
                                   "(epoch %4), so they were not taken. The elements in use stay.")
                        .arg(Named(set), host, UtcText(epochMs),
                             UtcText(UnixMsFromJulianDate(EpochJulianDate(kept))))
                        .toStdString(),
                    kAppCaption, MessageIcon::Exclamation);
        return;
    }
    // Tried on a copy first: a set that cannot give the station's place now replaces nothing.
    LiveOrbit trial;
    const bool starts = trial.SetElements(set);
    const int error = starts ? trial.At(JulianDateFromUnixMs(UtcNowMs())).error : 0;
    if (!starts || error != 0) {
        ShowMessage(
            QStringLiteral("The elements of %1 from %2 cannot give its place now: %3. The elements "
                           "in use stay.")
                .arg(Named(set), host, QString::fromUtf8(starts ? Sgp4::ErrorText(error) : trial.ErrorText()))
                .toStdString(),
            kAppCaption, MessageIcon::Exclamation);
        return;
    }
    QString reason;
    if (!ElementsDownload::Keep(text, reason)) {
        ShowMessage(QStringLiteral("The elements were fetched from %1 but could not be kept in %2 (%3). The "
                                   "elements in use stay.")
                        .arg(host, QDir::toNativeSeparators(ElementsDownload::CachePath()), reason)
                        .toStdString(),
                    kAppCaption, MessageIcon::Exclamation);
        return;
    }
    m_live->SetElements(set);
    Remember(set, Source::Download);
    m_live->Now();
    m_app->Profile().setValue(kFetchedKey,
                              QDateTime::fromMSecsSinceEpoch(UtcNowMs(), Qt::UTC).toString(Qt::ISODate));
    m_app->Profile().setValue(kFetchedNumberKey, set.catalogNumber);
    // Without a live document nothing else on the screen would say that it worked.
    if (m_app->MainWindow())
        m_app->MainWindow()->statusBar()->showMessage(
            QStringLiteral("Elements of %1 updated from %2 (epoch %3).")
                .arg(Named(set), host, UtcText(UnixMsFromJulianDate(EpochJulianDate(set)))),
            kUpdatedMessageMs);
}

bool OrbitCommands::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::Close && watched == m_app->MainWindow() && m_download)
        m_download->Cancel();
    return QObject::eventFilter(watched, event);
}

void OrbitCommands::OnNow() {
    m_live->Now();
}

void OrbitCommands::OnSetTime() {
    QSettings &profile = m_app->Profile();
    SetTimeDialog dialog(m_live->Clock().utcMs, profile.value(kSetTimeUtcKey, false).toBool(),
                         m_app->MainWindow());
    if (dialog.exec() != QDialog::Accepted)
        return;
    profile.setValue(kSetTimeUtcKey, dialog.InUtc());
    m_live->SetTime(dialog.ChosenUtcMs());
}

void OrbitCommands::RestoreLocation() {
    QSettings &profile = m_app->Profile();
    if (!profile.contains(kObserverLatitudeKey) || !profile.contains(kObserverLongitudeKey)) {
        m_live->SetPlace(ObserverPlace());
        return;
    }
    // A place edited by hand into nonsense is quietly forgotten, as if never set.
    ObserverSettings place;
    QString why;
    if (!LocationDialog::ParsePlace(profile.value(kObserverNameKey).toString(),
                                    profile.value(kObserverLatitudeKey).toString(),
                                    profile.value(kObserverLongitudeKey).toString(),
                                    profile.value(kObserverHeightKey, 0).toString(), place, why)) {
        m_live->SetPlace(ObserverPlace());
        return;
    }
    ObserverPlace chosen;
    chosen.set = true;
    chosen.name = place.name.toStdString();
    chosen.latitude = place.latitude;
    chosen.longitude = place.longitude;
    chosen.heightM = place.heightM;
    m_live->SetPlace(chosen);
}

void OrbitCommands::OnSetLocation() {
    const ObserverPlace &now = m_live->Place();
    ObserverSettings shown;
    shown.name = QString::fromStdString(now.name);
    shown.latitude = now.latitude;
    shown.longitude = now.longitude;
    shown.heightM = now.heightM;
    LocationDialog dialog(shown, now.set, m_app->MainWindow());
    if (dialog.exec() != QDialog::Accepted)
        return;
    const ObserverSettings &place = dialog.Chosen();
    QSettings &profile = m_app->Profile();
    profile.setValue(kObserverNameKey, place.name);
    // As text the dialog reads back: a double's own text may take an exponent.
    profile.setValue(kObserverLatitudeKey, QString::number(place.latitude, 'f', 6));
    profile.setValue(kObserverLongitudeKey, QString::number(place.longitude, 'f', 6));
    profile.setValue(kObserverHeightKey, QString::number(place.heightM, 'f', 1));
    RestoreLocation();
}

void OrbitCommands::OnGroundTrack() {
    if (CQUORDoc *doc = ActiveDocument()) {
        doc->m_groundTrack = !doc->m_groundTrack;
        Repaint(m_app->FrameOf(doc));
    }
}

void OrbitCommands::OnPasses() {
    if (!m_passes) {
        m_passes = new PassesWindow(m_app, m_live, m_app->MainWindow());
        connect(m_passes, &PassesWindow::WatchRequested, this, &OrbitCommands::WatchFrom);
    }
    m_passes->show();
    m_passes->Refresh();
    m_passes->raise();
    m_passes->activateWindow();
}

PassesWindow *OrbitCommands::Passes() const {
    return m_passes;
}

void OrbitCommands::WatchFrom(qint64 utcMs) {
    CQUORDoc *doc = ActiveDocument();
    if (doc && !doc->m_live)
        SetLive(doc, true);
    m_live->SetTime(utcMs);
    // Seen from here, the pass is watched coming up where it rises.
    if (ChildFrame *frame = doc ? m_app->FrameOf(doc) : nullptr) {
        for (CQUORView *view : frame->findChildren<CQUORView *>())
            view->m_skyFollow = true;
    }
}
