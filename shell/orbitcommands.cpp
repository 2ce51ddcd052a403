#include "orbitcommands.h"

#include "../document/quordoc.h"
#include "../resources/ids.h"
#include "../view/core/livescene.h"
#include "application.h"
#include "childframe.h"
#include "elementsdownload.h"
#include "mdiframe.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QStatusBar>

namespace {

constexpr const char *kElementsFileKey = "Orbit/Elements File";
constexpr const char *kSatelliteKey = "Orbit/Catalogue Number";
constexpr const char *kElementsUrlKey = "Orbit/Elements URL";
// The station the viewer is about, where a file has it.
constexpr int kStationCatalogueNumber = 25544;

// The scene view ignores document updates: its panes are asked to paint again.
void Repaint(ChildFrame *frame) {
    if (!frame)
        return;
    for (QWidget *pane : frame->findChildren<QWidget *>())
        pane->update();
}

} // namespace

OrbitCommands::OrbitCommands(Application *app) : QObject(app), m_app(app) {
    app->MapCommand(ID_ORBIT_OPEN_ELEMENTS, [this] { OnOpenElements(); });
    app->MapCommand(ID_ORBIT_UPDATE_ELEMENTS, [this] { OnUpdateElements(); });
    app->MapCommand(ID_ORBIT_SIMULATED, [this] { SetLive(ActiveDocument(), false); });
    app->MapCommand(ID_ORBIT_LIVE, [this] { SetLive(ActiveDocument(), true); });
    app->MapCommand(ID_ORBIT_NOW, [this] { OnNow(); });
    app->MapCommand(ID_ORBIT_GROUND_TRACK, [this] { OnGroundTrack(); });
}

OrbitCommands::~OrbitCommands() = default;

CQUORDoc *OrbitCommands::ActiveDocument() const {
    ChildFrame *frame = m_app->MainWindow() ? m_app->MainWindow()->ActiveChildFrame() : nullptr;
    return frame ? static_cast<CQUORDoc *>(frame->GetDocument()) : nullptr;
}

void OrbitCommands::RepaintLiveViews() {
    for (Document *doc : m_app->Documents()) {
        if (static_cast<CQUORDoc *>(doc)->m_live)
            doc->UpdateAllViews(nullptr, 0);
    }
    if (m_app->MainWindow()) {
        for (ChildFrame *frame : m_app->MainWindow()->ChildFrames())
            Repaint(frame);
    }
}

bool OrbitCommands::OpenElementsFile(const QString &path, bool ask) {
    std::string text, why;
    if (!ReadElementsText(QFile::encodeName(path).toStdString(), text, why)) {
        if (ask)
            ShowMessage(QStringLiteral("Orbital elements cannot be read from %1 (%2).")
                            .arg(QDir::toNativeSeparators(path), QString::fromStdString(why))
                            .toStdString(),
                        kAppCaption, MessageIcon::Exclamation);
        return false;
    }
    if (!TakeElements(QString::fromStdString(text), QDir::toNativeSeparators(path), ask))
        return false;
    m_app->Profile().setValue(kElementsFileKey, QFileInfo(path).absoluteFilePath());
    return true;
}

bool OrbitCommands::TakeElements(const QString &text, const QString &origin, bool ask) {
    const QByteArray bytes = text.toUtf8();
    const ElementsFile parsed =
        ParseElements(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    if (parsed.error || parsed.sets.empty()) {
        if (ask) {
            const QString where = parsed.error ? QStringLiteral("%1, line %2: %3")
                                                     .arg(origin)
                                                     .arg(parsed.error->line)
                                                     .arg(QString::fromStdString(parsed.error->message))
                                               : QStringLiteral("%1: no orbital elements in it").arg(origin);
            ShowMessage(("Cannot use these orbital elements.\n" + where).toStdString(), kAppCaption,
                        MessageIcon::Exclamation);
        }
        return false;
    }
    // The remembered station, else the space station, else the first set.
    const int wanted = m_app->Profile().value(kSatelliteKey, kStationCatalogueNumber).toInt();
    int chosen = 0;
    for (size_t i = 0; i < parsed.sets.size(); ++i) {
        if (parsed.sets[i].catalogNumber == wanted) {
            chosen = static_cast<int>(i);
            break;
        }
        if (parsed.sets[i].catalogNumber == kStationCatalogueNumber)
            chosen = static_cast<int>(i);
    }
    if (ask && parsed.sets.size() > 1) {
        QStringList names;
        for (const OrbitalElements &e : parsed.sets)
            names << QStringLiteral("%1 (%2)")
                         .arg(e.name.empty() ? QStringLiteral("Unnamed") : QString::fromStdString(e.name))
                         .arg(e.catalogNumber);
        bool ok = false;
        const QString pick = QInputDialog::getItem(m_app->MainWindow(), QStringLiteral("Choose the Station"),
                                                   QStringLiteral("Station:"), names, chosen, false, &ok);
        if (!ok)
            return false;
        chosen = static_cast<int>(names.indexOf(pick));
    }
    const OrbitalElements &set = parsed.sets[static_cast<size_t>(chosen)];
    if (!g_liveOrbit.SetElements(set)) {
        if (ask)
            ShowMessage(QStringLiteral("The elements of %1 cannot be propagated: %2.")
                            .arg(set.catalogNumber)
                            .arg(QString::fromUtf8(g_liveOrbit.ErrorText()))
                            .toStdString(),
                        kAppCaption, MessageIcon::Exclamation);
        return false;
    }
    m_app->Profile().setValue(kSatelliteKey, set.catalogNumber);
    RepaintLiveViews();
    return true;
}

bool OrbitCommands::RestoreElements() {
    const QString path = m_app->Profile().value(kElementsFileKey).toString();
    if (path.isEmpty())
        return false;
    // Fetched elements are newer than the file they replaced, if there are any.
    const QString cached = ElementsDownload::CachePath();
    if (QFileInfo(cached).lastModified() > QFileInfo(path).lastModified() && OpenElementsFile(cached, false))
        return true;
    return OpenElementsFile(path, false);
}

void OrbitCommands::SetLive(CQUORDoc *doc, bool live) {
    if (!doc)
        return;
    if (live && !g_liveOrbit.Ready()) {
        OnOpenElements();
        if (!g_liveOrbit.Ready())
            return;
    }
    if (live && g_liveUtcMs == 0)
        ResetLiveClock();
    doc->m_live = live;
    doc->UpdateAllViews(nullptr, 0);
    Repaint(m_app->FrameOf(doc));
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

void OrbitCommands::OnUpdateElements() {
    if (!m_download) {
        m_download = new ElementsDownload(this);
        connect(m_download, &ElementsDownload::Progress, this, [this](qint64 received, qint64 total) {
            if (QStatusBar *bar = m_app->MainWindow() ? m_app->MainWindow()->statusBar() : nullptr)
                bar->showMessage(
                    total > 0
                        ? QStringLiteral("Downloading elements: %1 of %2 bytes").arg(received).arg(total)
                        : QStringLiteral("Downloading elements: %1 bytes").arg(received));
        });
        connect(m_download, &ElementsDownload::Finished, this, [this](const QString &text) {
            if (m_app->MainWindow())
                m_app->MainWindow()->ShowIdleMessage();
            if (TakeElements(text, ElementsDownload::CachePath(), true))
                m_app->Profile().setValue(kElementsFileKey, ElementsDownload::CachePath());
        });
        connect(m_download, &ElementsDownload::Failed, this, [this](const QString &message) {
            if (m_app->MainWindow())
                m_app->MainWindow()->ShowIdleMessage();
            ShowMessage(message.toStdString(), kAppCaption, MessageIcon::Exclamation);
        });
    }
    const QUrl url(
        m_app->Profile().value(kElementsUrlKey, QString::fromUtf8(kDefaultElementsUrl)).toString());
    m_download->Start(url);
}

void OrbitCommands::OnNow() {
    ResetLiveClock();
    RepaintLiveViews();
}

void OrbitCommands::OnGroundTrack() {
    if (CQUORDoc *doc = ActiveDocument()) {
        doc->m_groundTrack = !doc->m_groundTrack;
        Repaint(m_app->FrameOf(doc));
    }
}
