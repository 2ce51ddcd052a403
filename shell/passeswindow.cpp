#include "passeswindow.h"

#include "../orbit/astro.h"
#include "../view/core/livescene.h"
#include "../view/core/skychart.h"
#include "application.h"
#include "livemodel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QSettings>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>

namespace {

constexpr const char *kDaysKey = "Passes/Days";
constexpr const char *kMinElevationKey = "Passes/Minimum Elevation"; // degrees
constexpr const char *kTwilightKey = "Passes/Dark Sky";              // the Sun's depression, degrees
constexpr const char *kVisibleOnlyKey = "Passes/Visible Only";
constexpr const char *kUtcKey = "Passes/UTC";
constexpr const char *kGeometryKey = "Passes/Geometry";
constexpr int kTwilights[] = {6, 12, 18};
// Points along each path: enough for a smooth curve over the widest chart.
constexpr int kTrackSamples = 90;
// The longest the window sleeps between two looks at the shown time.
constexpr qint64 kLongestSleepMs = 3600 * 1000;
constexpr qint64 kDayMs = 24LL * 3600 * 1000;

qint64 Ms(double jd) {
    return UnixMsFromJulianDate(jd);
}

// The second a clock shows for a moment: times are cut, not rounded, to the second.
qint64 FloorSeconds(qint64 ms) {
    return ms >= 0 ? ms / 1000 : -((999 - ms) / 1000);
}

QString Degrees(double value) {
    return QStringLiteral("%1\u00b0").arg(std::lround(value));
}

QPointF At(const ChartPoint &p) {
    return QPointF(p.x, p.y);
}

} // namespace

// ---------------------------------------------------------------------------

PassesModel::PassesModel(QObject *parent) : QAbstractTableModel(parent) {}

QTimeZone PassesModel::Zone() const {
    return m_utc ? QTimeZone::utc() : QTimeZone::systemTimeZone();
}

QString PassesModel::TimeText(qint64 utcMs, const QTimeZone &zone, bool withZone) {
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(utcMs, zone);
    QString text = when.toString(QStringLiteral("HH:mm:ss"));
    if (withZone)
        text += ' ' + (zone == QTimeZone::utc() ? QStringLiteral("UTC") : zone.abbreviation(when));
    return text;
}

void PassesModel::SetListing(std::shared_ptr<const PassListing> listing) {
    beginResetModel();
    m_listing = std::move(listing);
    m_shown = m_listing ? ShownPasses(m_listing->passes, m_nowJd, m_visibleOnly) : std::vector<size_t>();
    endResetModel();
}

void PassesModel::Reselect() {
    std::vector<size_t> shown =
        m_listing ? ShownPasses(m_listing->passes, m_nowJd, m_visibleOnly) : std::vector<size_t>();
    if (shown == m_shown)
        return;
    beginResetModel();
    m_shown = std::move(shown);
    endResetModel();
}

void PassesModel::SetNow(double nowJd) {
    m_nowJd = nowJd;
    Reselect();
}

void PassesModel::SetVisibleOnly(bool visibleOnly) {
    m_visibleOnly = visibleOnly;
    Reselect();
}

void PassesModel::SetUtc(bool utc) {
    if (utc == m_utc)
        return;
    m_utc = utc;
    if (!m_shown.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

const Pass *PassesModel::PassAt(int row) const {
    if (row < 0 || size_t(row) >= m_shown.size())
        return nullptr;
    return &m_listing->passes[m_shown[size_t(row)]];
}

const std::vector<SkyTrackPoint> *PassesModel::TrackAt(int row) const {
    if (row < 0 || size_t(row) >= m_shown.size() || m_shown[size_t(row)] >= m_listing->tracks.size())
        return nullptr;
    return &m_listing->tracks[m_shown[size_t(row)]];
}

int PassesModel::RowOf(double riseJd) const {
    for (size_t row = 0; row < m_shown.size(); ++row) {
        // A search from another moment refines the same rise to within milliseconds, not to the bit.
        if (std::fabs(m_listing->passes[m_shown[row]].rise.jd - riseJd) < 60.0 / 86400.0)
            return int(row);
    }
    return -1;
}

int PassesModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_shown.size());
}

int PassesModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PassesModel::data(const QModelIndex &index, int role) const {
    const Pass *pass = PassAt(index.row());
    if (!pass)
        return QVariant();
    const QTimeZone zone = Zone();
    if (role == Qt::TextAlignmentRole)
        return index.column() == Date || index.column() == Visible
                   ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                   : QVariant(index.column() == RiseAzimuth || index.column() == SetAzimuth
                                  ? Qt::AlignLeft | Qt::AlignVCenter
                                  : Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole) {
        // The full moment with its offset, which the abbreviation alone may not make plain.
        const QDateTime rise = QDateTime::fromMSecsSinceEpoch(Ms(pass->rise.jd), zone);
        return rise.toString(QStringLiteral("ddd d MMMM yyyy, HH:mm:ss t (")) +
               (zone == QTimeZone::utc() ? QStringLiteral("UTC")
                                         : rise.timeZone().displayName(rise, QTimeZone::OffsetName)) +
               ')';
    }
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case Date:
        return QDateTime::fromMSecsSinceEpoch(Ms(pass->rise.jd), zone).toString(QStringLiteral("ddd dd MMM"));
    case Rise:
        return TimeText(Ms(pass->rise.jd), zone, true);
    case Highest:
        return TimeText(Ms(pass->culmination.jd), zone, false);
    case Set:
        return TimeText(Ms(pass->set.jd), zone, false);
    case RiseAzimuth:
        return QString::fromStdString(AzimuthText(pass->rise.azimuth));
    case MaxElevation:
        return Degrees(pass->culmination.elevation);
    case SetAzimuth:
        return QString::fromStdString(AzimuthText(pass->set.azimuth));
    case Duration:
        // From the whole seconds the rise and set columns show, so the three agree.
        return QString::fromStdString(DurationText(double(FloorSeconds(Ms(pass->set.jd)) -
                                                          FloorSeconds(Ms(pass->rise.jd)))));
    case Visible:
        if (!pass->visible)
            return QStringLiteral("no");
        return QStringLiteral("%1\u2013%2, %3")
            .arg(TimeText(Ms(pass->visibleStart.jd), zone, false),
                 TimeText(Ms(pass->visibleEnd.jd), zone, false), Degrees(pass->visibleMaxElevation));
    case Magnitude:
        return QString::fromStdString(MagnitudeText(*pass)).replace('-', QChar(0x2212));
    default:
        return QVariant();
    }
}

QVariant PassesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::ToolTipRole) {
        switch (section) {
        case Visible:
            return QStringLiteral("When the station is sunlit in a dark sky, and how high it climbs then");
        case Magnitude:
            return QStringLiteral(
                "Estimated brightness at the visible part's highest point; lower is brighter");
        default:
            return QVariant();
        }
    }
    if (role != Qt::DisplayRole)
        return QVariant();
    static const char *const kTitles[ColumnCount] = {"Date",    "Rise",   "Highest",  "Set",     "Rise at",
                                                     "Max el.", "Set at", "Duration", "Visible", "Mag."};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(kTitles[section]) : QVariant();
}

// ---------------------------------------------------------------------------

SkyChart::SkyChart(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("skyChart"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QSize SkyChart::sizeHint() const {
    return QSize(360, 380);
}
QSize SkyChart::minimumSizeHint() const {
    return QSize(200, 220);
}

void SkyChart::SetPass(const Pass *pass, const std::vector<SkyTrackPoint> *track, double minElevation,
                       const QString &caption) {
    m_pass = pass ? *pass : Pass();
    m_track = track ? *track : std::vector<SkyTrackPoint>();
    m_minElevation = minElevation;
    m_caption = caption;
    update();
}

void SkyChart::Horizon(double &centreX, double &centreY, double &radius) const {
    const double line = QFontMetricsF(font()).height();
    // Room for the caption above and the cardinal letters round the horizon.
    const double top = m_caption.isEmpty() ? line * 0.5 : line * 1.6;
    const double margin = line * 1.4;
    radius = std::max(10.0, std::min(width() - 2 * margin, height() - top - 2 * margin) / 2);
    centreX = width() / 2.0;
    centreY = top + (height() - top) / 2.0;
}

void SkyChart::paintEvent(QPaintEvent *) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(0x10, 0x14, 0x1c));
    double cx = 0, cy = 0, radius = 0;
    Horizon(cx, cy, radius);
    const QFontMetricsF fm(font());
    const double margin = fm.height() * 1.4;
    const double top = m_caption.isEmpty() ? fm.height() * 0.5 : fm.height() * 1.6;
    const auto at = [&](double az, double el) { return At(SkyChartPosition(az, el, cx, cy, radius)); };

    // The sky, lighter towards the zenith.
    QRadialGradient sky(QPointF(cx, cy), radius);
    sky.setColorAt(0, QColor(0x24, 0x3b, 0x63));
    sky.setColorAt(1, QColor(0x0e, 0x1a, 0x33));
    p.setBrush(sky);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(cx, cy), radius, radius);
    p.setBrush(Qt::NoBrush);

    // Elevation rings at 30 and 60 degrees, the spokes, and the zenith's cross.
    QPen grid(QColor(0x5a, 0x70, 0x94), 1);
    p.setPen(grid);
    for (int el : {30, 60}) {
        const double r = radius * (90 - el) / 90.0;
        p.drawEllipse(QPointF(cx, cy), r, r);
    }
    for (int az = 0; az < 360; az += 45)
        p.drawLine(at(az, 0), at(az, 90 - 90.0 * 0.04));
    p.drawLine(QPointF(cx - 5, cy), QPointF(cx + 5, cy));
    p.drawLine(QPointF(cx, cy - 5), QPointF(cx, cy + 5));
    QFont small = font();
    small.setPointSizeF(std::max(6.0, font().pointSizeF() * 0.8));
    p.setFont(small);
    p.setPen(QColor(0x8a, 0x9c, 0xba));
    for (int el : {30, 60}) {
        const QPointF label = at(180 + 8, el) + QPointF(3, 0);
        p.drawText(label, QStringLiteral("%1\u00b0").arg(el));
    }
    // The minimum elevation where passes begin and end.
    if (m_minElevation > 0.5) {
        QPen floor(QColor(0x7f, 0x8f, 0xa8), 1, Qt::DotLine);
        p.setPen(floor);
        const double r = radius * (90 - m_minElevation) / 90.0;
        p.drawEllipse(QPointF(cx, cy), r, r);
    }

    // The horizon over the ends of the grid's lines.
    p.setPen(QPen(QColor(0xb8, 0xc6, 0xdc), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(cx, cy), radius, radius);

    // North, east, south and west just outside the horizon.
    QFont bold = font();
    bold.setBold(true);
    p.setFont(bold);
    p.setPen(QColor(0xe8, 0xee, 0xf6));
    const QFontMetricsF boldMetrics(bold);
    const struct {
        int azimuth;
        const char *name;
    } kCardinals[] = {{0, "N"}, {90, "E"}, {180, "S"}, {270, "W"}};
    for (const auto &c : kCardinals) {
        const ChartPoint dir = SkyChartPosition(c.azimuth, 0, 0, 0, 1);
        const QPointF centre(cx + dir.x * (radius + margin * 0.55), cy + dir.y * (radius + margin * 0.55));
        const QString name = QString::fromLatin1(c.name);
        const QSizeF size(boldMetrics.horizontalAdvance(name), boldMetrics.height());
        p.drawText(QRectF(centre - QPointF(size.width() / 2, size.height() / 2), size), Qt::AlignCenter,
                   name);
    }

    // What the two lines mean, in the corner below the horizon's west side.
    if (!m_track.empty()) {
        p.setFont(small);
        const QFontMetricsF smallMetrics(small);
        const double y = height() - smallMetrics.height() * 0.6;
        const double x = 8;
        p.setPen(QPen(QColor(0xff, 0xd8, 0x4d), 3.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(x, y - smallMetrics.height() * 1.3),
                   QPointF(x + 22, y - smallMetrics.height() * 1.3));
        p.setPen(QPen(QColor(0x9f, 0xb3, 0xd1), 1.6, Qt::DashLine));
        p.drawLine(QPointF(x, y), QPointF(x + 22, y));
        p.setPen(QColor(0xc8, 0xd2, 0xe2));
        const double textX = x + 28, shift = smallMetrics.ascent() / 2 - 1;
        p.drawText(QPointF(textX, y - smallMetrics.height() * 1.3 + shift), QStringLiteral("visible"));
        p.drawText(QPointF(textX, y + shift), QStringLiteral("not visible"));
    }
    p.setFont(font());
    if (!m_caption.isEmpty()) {
        p.setPen(QColor(0xe8, 0xee, 0xf6));
        p.drawText(QRectF(0, 0, width(), top), Qt::AlignCenter, m_caption);
    }
    if (m_track.size() < 2)
        return;

    // The path: dim and dashed where the station cannot be seen, bright and solid where it can.
    const QColor dim(0x9f, 0xb3, 0xd1);
    const QColor bright(0xff, 0xd8, 0x4d);
    QPen unseen(dim, 1.6, Qt::DashLine, Qt::RoundCap);
    QPen seen(bright, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    // Each stretch as one line, so that the dashes run on along it.
    for (size_t start = 0; start + 1 < m_track.size();) {
        const bool lit = m_track[start].visible && m_track[start + 1].visible;
        QPainterPath run(at(m_track[start].azimuth, m_track[start].elevation));
        size_t end = start + 1;
        while (true) {
            run.lineTo(at(m_track[end].azimuth, m_track[end].elevation));
            if (end + 1 >= m_track.size() || (m_track[end].visible && m_track[end + 1].visible) != lit)
                break;
            ++end;
        }
        p.strokePath(run, lit ? seen : unseen);
        start = end;
    }
    // Where it rises, a ring; the highest point, a dot; the way it goes, arrows at the middle and the end.
    const SkyTrackPoint &first = m_track.front(), &last = m_track.back();
    p.setPen(QPen(QColor(0xe8, 0xee, 0xf6), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(at(first.azimuth, first.elevation), 4, 4);
    p.setBrush(QColor(0xe8, 0xee, 0xf6));
    p.drawEllipse(at(m_pass.culmination.azimuth, m_pass.culmination.elevation), 3, 3);
    const auto arrow = [&](const SkyTrackPoint &from, const SkyTrackPoint &tip, const QColor &colour) {
        const ArrowHead head = ArrowHeadAt(SkyChartPosition(from.azimuth, from.elevation, cx, cy, radius),
                                           SkyChartPosition(tip.azimuth, tip.elevation, cx, cy, radius),
                                           std::max(8.0, radius * 0.06));
        QPolygonF shape;
        shape << At(head.tip) << At(head.left) << At(head.right);
        p.setPen(QPen(colour, 1));
        p.setBrush(colour);
        p.drawPolygon(shape);
    };
    // Two thirds along, clear of the highest point's dot on a pass that is symmetric about it.
    const size_t mid = std::max<size_t>(1, m_track.size() * 2 / 3);
    arrow(m_track[mid - 1], m_track[mid], m_track[mid].visible ? bright : dim);
    arrow(m_track[m_track.size() - 2], last, last.visible ? bright : dim);
}

// ---------------------------------------------------------------------------

PassesWindow::PassesWindow(Application *app, LiveModel *live, QWidget *parent)
    : QWidget(parent, Qt::Window), m_app(app), m_live(live) {
    setObjectName(QStringLiteral("PassesWindow"));
    setWindowTitle(QStringLiteral("Passes"));
    BuildControls();
    if (!restoreGeometry(m_app->Profile().value(kGeometryKey).toByteArray())) {
        // Room for every column beside the chart, but never more than the screen: one of
        // 1920 x 1080 at twice the pixels is 960 x 540.
        const QRect room = screen()->availableGeometry();
        resize(std::min(1240, room.width() * 9 / 10), std::min(560, room.height() * 9 / 10));
    }
    m_nextLook = new QTimer(this);
    m_nextLook->setSingleShot(true);
    // A pass over or a new day: the list is searched again from then, so that it
    // always holds the days ahead.
    connect(m_nextLook, &QTimer::timeout, this, &PassesWindow::SearchAgain);
    connect(m_live, &LiveModel::elementsChanged, this, &PassesWindow::SearchAgain);
    connect(m_live, &LiveModel::observerChanged, this, &PassesWindow::SearchAgain);
    connect(m_live, &LiveModel::clockChanged, this, &PassesWindow::Refresh);
    // Exit ends the program without closing this window: keep where it stood all the same.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (isVisible())
            m_app->Profile().setValue(kGeometryKey, saveGeometry());
    });
    QTimer::singleShot(0, this, &PassesWindow::Refresh);
}

PassesWindow::~PassesWindow() = default;

void PassesWindow::BuildControls() {
    QSettings &profile = m_app->Profile();
    m_days = new QSpinBox;
    m_days->setObjectName(QStringLiteral("days"));
    m_days->setRange(1, 30);
    m_days->setValue(std::clamp(profile.value(kDaysKey, 10).toInt(), 1, 30));
    auto daySuffix = [this](int days) {
        m_days->setSuffix(days == 1 ? QStringLiteral(" day") : QStringLiteral(" days"));
    };
    daySuffix(m_days->value());
    connect(m_days, &QSpinBox::valueChanged, this, daySuffix);
    m_minElevation = new QSpinBox;
    m_minElevation->setObjectName(QStringLiteral("minElevation"));
    m_minElevation->setRange(0, 90);
    m_minElevation->setValue(std::clamp(profile.value(kMinElevationKey, 10).toInt(), 0, 90));
    m_minElevation->setSuffix(QStringLiteral("\u00b0"));
    m_twilight = new QComboBox;
    m_twilight->setObjectName(QStringLiteral("darkSky"));
    m_twilight->addItem(QStringLiteral("Sun 6\u00b0 down (civil)"), 6);
    m_twilight->addItem(QStringLiteral("Sun 12\u00b0 down (nautical)"), 12);
    m_twilight->addItem(QStringLiteral("Sun 18\u00b0 down (astronomical)"), 18);
    m_twilight->setCurrentIndex(std::max(0, m_twilight->findData(profile.value(kTwilightKey, 6).toInt())));
    m_visibleOnly = new QCheckBox(QStringLiteral("Visible only"));
    m_visibleOnly->setObjectName(QStringLiteral("visibleOnly"));
    m_visibleOnly->setChecked(profile.value(kVisibleOnlyKey, false).toBool());
    m_utc = new QCheckBox(QStringLiteral("UTC"));
    m_utc->setObjectName(QStringLiteral("utc"));
    m_utc->setChecked(profile.value(kUtcKey, false).toBool());

    auto *controls = new QHBoxLayout;
    controls->addWidget(new QLabel(QStringLiteral("Next")));
    controls->addWidget(m_days);
    controls->addSpacing(12);
    controls->addWidget(new QLabel(QStringLiteral("Higher than")));
    controls->addWidget(m_minElevation);
    controls->addSpacing(12);
    controls->addWidget(new QLabel(QStringLiteral("Dark sky:")));
    controls->addWidget(m_twilight);
    controls->addSpacing(12);
    controls->addWidget(m_visibleOnly);
    controls->addWidget(m_utc);
    controls->addStretch(1);

    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setWordWrap(true);

    m_model = new PassesModel(this);
    m_model->SetVisibleOnly(m_visibleOnly->isChecked());
    m_model->SetUtc(m_utc->isChecked());
    m_table = new QTableView;
    m_table->setObjectName(QStringLiteral("passes"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setStretchLastSection(false);
    m_table->setToolTip(QString());
    m_chart = new SkyChart;

    auto *split = new QSplitter(Qt::Horizontal);
    split->addWidget(m_table);
    split->addWidget(m_chart);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split->setChildrenCollapsible(false);
    split->setSizes({780, 440});

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(m_status);
    layout->addWidget(split, 1);

    const auto changed = [this] {
        SaveSettings();
        SearchAgain();
    };
    connect(m_days, &QSpinBox::valueChanged, this, changed);
    connect(m_minElevation, &QSpinBox::valueChanged, this, changed);
    connect(m_twilight, &QComboBox::currentIndexChanged, this, changed);
    connect(m_visibleOnly, &QCheckBox::toggled, this, [this](bool on) {
        SaveSettings();
        m_model->SetVisibleOnly(on);
        OnSelectionChanged();
    });
    connect(m_utc, &QCheckBox::toggled, this, [this](bool on) {
        SaveSettings();
        m_model->SetUtc(on);
        OnSelectionChanged();
    });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        // The pass selected before stays selected while it is listed; else the next
        // pass is, so the chart is never empty beside a list.
        const int row = m_model->RowOf(m_selectedRiseJd);
        if (row >= 0 || m_model->rowCount() > 0)
            m_table->selectRow(std::max(row, 0));
        OnSelectionChanged();
    });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &PassesWindow::OnSelectionChanged);
    connect(m_table, &QTableView::doubleClicked, this, &PassesWindow::OnDoubleClicked);
}

void PassesWindow::SaveSettings() {
    QSettings &profile = m_app->Profile();
    profile.setValue(kDaysKey, m_days->value());
    profile.setValue(kMinElevationKey, m_minElevation->value());
    profile.setValue(kTwilightKey, m_twilight->currentData().toInt());
    profile.setValue(kVisibleOnlyKey, m_visibleOnly->isChecked());
    profile.setValue(kUtcKey, m_utc->isChecked());
}

void PassesWindow::closeEvent(QCloseEvent *event) {
    m_app->Profile().setValue(kGeometryKey, saveGeometry());
    QWidget::closeEvent(event);
}

qint64 PassesWindow::ShownUtcMs() const {
    // The live clock while a document shows the live orbit: the list follows the scene's time.
    return m_live->ShownUtcMs();
}

void PassesWindow::SearchAgain() {
    m_looked = false;
    Refresh();
}

void PassesWindow::Refresh() {
    // A closed window searches nothing; showing it again refreshes it.
    if (!isVisible())
        return;
    const qint64 now = ShownUtcMs();
    // Searched again when the shown time goes back before the search or on to
    // another day, so that the days ahead stay listed.
    const QTimeZone zone = m_utc->isChecked() ? QTimeZone::utc() : QTimeZone::systemTimeZone();
    const bool otherDay = QDateTime::fromMSecsSinceEpoch(now, zone).date() !=
                          QDateTime::fromMSecsSinceEpoch(m_searchedFromMs, zone).date();
    if (!m_looked || now < m_searchedFromMs || otherDay) {
        // A clock gone back has a new next pass: the pick made from later on is let go.
        if (m_looked && now < m_searchedFromMs)
            m_selectedRiseJd = 0;
        m_looked = true;
        if (m_live->Ready() && m_live->Place().set) {
            StartSearch(now);
        } else {
            // Nothing to search: an empty list, and the status says what is missing.
            ++m_request;
            m_searchedFromMs = now;
            Deliver(m_request, nullptr);
        }
    }
    m_model->SetNow(JulianDateFromUnixMs(now));
    UpdateStatus();
    ScheduleNextLook(now);
}

void PassesWindow::ScheduleNextLook(qint64 now) {
    const ClockReading &clock = m_live->Clock();
    const bool live = m_live->Shown();
    if (live && clock.paused) {
        m_nextLook->stop(); // the shown time stands; a change of the clock says so
        return;
    }
    const QTimeZone zone = m_utc->isChecked() ? QTimeZone::utc() : QTimeZone::systemTimeZone();
    qint64 next = QDateTime::fromMSecsSinceEpoch(now, zone).date().addDays(1).startOfDay(zone).toMSecsSinceEpoch();
    if (const Pass *first = m_model->PassAt(0))
        next = std::min(next, Ms(first->set.jd) + 1000); // a second on: surely over by then
    const double factor = live && clock.factor > 0.0f ? clock.factor : 1.0;
    const double wait = static_cast<double>(next - now) / factor;
    m_nextLook->start(static_cast<int>(std::clamp<double>(std::ceil(wait), 50.0, double(kLongestSleepMs))));
}

void PassesWindow::StartSearch(qint64 fromMs) {
    m_searchedMinElevation = m_minElevation->value();
    m_searchedFromMs = fromMs;
    const int id = ++m_request;
    PassRequest request;
    request.elements = m_live->Elements();
    request.place = m_live->Place();
    request.search.startJd = JulianDateFromUnixMs(fromMs);
    request.search.endJd = request.search.startJd + m_days->value();
    request.search.minElevation = m_minElevation->value();
    request.search.twilight = m_twilight->currentData().toInt();
    using Result = std::shared_ptr<const PassListing>;
    auto *watcher = new QFutureWatcher<Result>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, id] {
        if (watcher->future().resultCount() > 0)
            Deliver(id, watcher->result());
        watcher->deleteLater();
    });
    // Everything the search needs goes with it by value: the window may close or
    // the elements change while it runs.
    watcher->setFuture(QtConcurrent::run([request]() -> Result {
        return std::make_shared<const PassListing>(ListPasses(request, kTrackSamples));
    }));
}

void PassesWindow::Deliver(int request, std::shared_ptr<const PassListing> listing) {
    if (request != m_request)
        return; // an answer to a question no longer asked
    m_answered = request;
    m_failure = listing && listing->failed ? QString::fromStdString(listing->reason) : QString();
    const qint64 now = ShownUtcMs();
    m_model->SetNow(JulianDateFromUnixMs(now));
    m_model->SetListing(std::move(listing));
    UpdateStatus();
    ScheduleNextLook(now);
}

void PassesWindow::UpdateStatus() {
    const bool ready = m_live->Ready();
    const ObserverPlace &place = m_live->Place();
    QString text;
    if (!ready && !place.set)
        text =
            QStringLiteral("Open orbital elements (File > Open Orbit Elements\u2026) and set your location "
                           "(File > Set Location\u2026) to list the passes.");
    else if (!ready)
        text = QStringLiteral("Open orbital elements (File > Open Orbit Elements\u2026) to list the passes.");
    else if (!place.set)
        text = QStringLiteral("Set your location (File > Set Location\u2026) to list the passes over it.");
    else if (!m_failure.isEmpty())
        text = QStringLiteral("No passes: %1.").arg(m_failure);
    else {
        const QString where = place.name.empty() ? QStringLiteral("%1, %2")
                                                       .arg(place.latitude, 0, 'f', 2)
                                                       .arg(place.longitude, 0, 'f', 2)
                                                 : QString::fromStdString(place.name);
        const QString who = QString::fromStdString(DisplayName(m_live->Elements()));
        if (!Answered())
            text = QStringLiteral("Finding the passes of %1 over %2\u2026").arg(who, where);
        else
            text = QStringLiteral("%1 over %2: %3 %4 in the next %5. Double-click one to watch it in the "
                                  "live scene.")
                       .arg(who, where)
                       .arg(m_model->rowCount())
                       .arg(QString(m_visibleOnly->isChecked() ? "visible " : "") +
                            (m_model->rowCount() == 1 ? "pass" : "passes"))
                       .arg(m_days->value() == 1 ? QStringLiteral("day")
                                                 : QStringLiteral("%1 days").arg(m_days->value()));
    }
    // Old elements still list passes, as the panel still gives a place: say how far to trust them.
    if (ready && m_failure.isEmpty()) {
        const double ageDays = JulianDateFromUnixMs(ShownUtcMs()) - EpochJulianDate(m_live->Elements());
        if (ageDays > kStaleElementsDays)
            text += QStringLiteral("\nWarning: the elements are %1 days old, so these passes may be far "
                                   "off; update them (File > Update Elements).")
                        .arg(std::floor(ageDays), 0, 'f', 0);
    }
    if (m_status->text() != text)
        m_status->setText(text);
}

void PassesWindow::OnSelectionChanged() {
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    const int row = rows.isEmpty() ? -1 : rows.first().row();
    const Pass *pass = m_model->PassAt(row);
    if (!pass) {
        m_chart->SetPass(nullptr, nullptr, m_minElevation->value(), QString());
        return;
    }
    m_selectedRiseJd = pass->rise.jd;
    const QTimeZone zone = m_utc->isChecked() ? QTimeZone::utc() : QTimeZone::systemTimeZone();
    const QString caption =
        QDateTime::fromMSecsSinceEpoch(Ms(pass->rise.jd), zone).toString(QStringLiteral("ddd dd MMM, ")) +
        PassesModel::TimeText(Ms(pass->rise.jd), zone, true) +
        (pass->visible ? QStringLiteral(", visible, magnitude %1")
                             .arg(QString::fromStdString(MagnitudeText(*pass)).replace('-', QChar(0x2212)))
                       : QString());
    m_chart->SetPass(pass, m_model->TrackAt(row), m_searchedMinElevation, caption);
}

void PassesWindow::OnDoubleClicked(const QModelIndex &index) {
    if (const Pass *pass = m_model->PassAt(index.row()))
        emit WatchRequested(Ms(pass->rise.jd) - 60 * 1000);
}
