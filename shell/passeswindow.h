#pragma once
// The passes window: the passes over the observer's place for the next days in a
// table, the selected one's path on a chart of the sky, and a double-click to
// watch it in the live scene. Searches run on a worker thread; the window searches
// again when the live model says the elements, the place or the clock changed,
// and wakes when the next listed pass is over or the day ends.
#include "../view/core/passlist.h"

#include <QAbstractTableModel>
#include <QTimeZone>
#include <QWidget>

#include <memory>
#include <vector>

class Application;
class LiveModel;
class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;
class QTableView;

// The passes shown, one a row, times in local time or UTC.
class PassesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        Date,
        Rise,
        Highest,
        Set,
        RiseAzimuth,
        MaxElevation,
        SetAzimuth,
        Duration,
        Visible,
        Magnitude,
        ColumnCount
    };

    explicit PassesModel(QObject *parent = nullptr);

    void SetListing(std::shared_ptr<const PassListing> listing);
    // Passes over by `nowJd` leave the list; nothing changes (and the selection stays) when none did.
    void SetNow(double nowJd);
    void SetVisibleOnly(bool visibleOnly);
    void SetUtc(bool utc);

    // The pass and its path on a row; null outside the list.
    const Pass *PassAt(int row) const;
    const std::vector<SkyTrackPoint> *TrackAt(int row) const;
    // The row of the pass that rises at `riseJd` (within a minute); -1 when it is not listed.
    int RowOf(double riseJd) const;

    // A UTC moment as a table cell, "21:16:21", with the zone's abbreviation after it when asked.
    static QString TimeText(qint64 utcMs, const QTimeZone &zone, bool withZone);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void Reselect();
    QTimeZone Zone() const;

    std::shared_ptr<const PassListing> m_listing;
    std::vector<size_t> m_shown;
    double m_nowJd = 0;
    bool m_visibleOnly = false;
    bool m_utc = false;
};

// The observer's sky with one pass's path across it.
class SkyChart : public QWidget {
    Q_OBJECT
public:
    explicit SkyChart(QWidget *parent = nullptr);
    void SetPass(const Pass *pass, const std::vector<SkyTrackPoint> *track, double minElevation,
                 const QString &caption);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool HasPass() const { return !m_track.empty(); }
    // The horizon's circle, as the chart is laid out at its present size.
    void Horizon(double &centreX, double &centreY, double &radius) const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Pass m_pass;
    std::vector<SkyTrackPoint> m_track;
    double m_minElevation = 0;
    QString m_caption;
};

class PassesWindow : public QWidget {
    Q_OBJECT
public:
    PassesWindow(Application *app, LiveModel *live, QWidget *parent = nullptr);
    ~PassesWindow() override;

    PassesModel *Model() const { return m_model; }
    QTableView *Table() const { return m_table; }
    SkyChart *Chart() const { return m_chart; }
    // Searches started so far, and whether the latest one has answered.
    int Requests() const { return m_request; }
    bool Answered() const { return m_answered == m_request; }

    // The answer to search `request`; one for an older search than the latest is dropped.
    void Deliver(int request, std::shared_ptr<const PassListing> listing);
    // Looks at the shown time: searches again when it went back or on to another
    // day (or nothing was searched yet), and lets passes that are over leave the list.
    void Refresh();

signals:
    // A double-click on a pass: watch it in the live scene from this moment.
    void WatchRequested(qint64 utcMs);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildControls();
    void SaveSettings();
    void OnSelectionChanged();
    void OnDoubleClicked(const QModelIndex &index);
    void UpdateStatus();
    qint64 ShownUtcMs() const;
    // What the list was searched for changed: search again at the next look.
    void SearchAgain();
    void StartSearch(qint64 fromMs);
    // Wakes the window to search again when the first listed pass is over or the day ends.
    void ScheduleNextLook(qint64 now);

    Application *m_app;
    LiveModel *m_live;
    QTimer *m_nextLook = nullptr;
    PassesModel *m_model = nullptr;
    QTableView *m_table = nullptr;
    SkyChart *m_chart = nullptr;
    QSpinBox *m_days = nullptr;
    QSpinBox *m_minElevation = nullptr;
    QComboBox *m_twilight = nullptr;
    QCheckBox *m_visibleOnly = nullptr;
    QCheckBox *m_utc = nullptr;
    QLabel *m_status = nullptr;

    bool m_looked = false; // whether a search was made for the elements, place and settings in use
    int m_request = 0;     // the latest search
    int m_answered = 0;    // the search whose answer is shown
    int m_searchedMinElevation = 0;
    qint64 m_searchedFromMs = 0;
    QString m_failure;           // why the search shown could not be made; empty when it was
    double m_selectedRiseJd = 0; // kept across new answers, to keep the selection
};
