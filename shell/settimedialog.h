#pragma once
// The live clock's "Set Time" dialog: a date and time typed in local time or UTC.
#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QRadioButton;

class SetTimeDialog : public QDialog {
    Q_OBJECT
public:
    // Opens on `shownUtcMs` (the live clock's time), in UTC when `utc` is set.
    SetTimeDialog(qint64 shownUtcMs, bool utc, QWidget *parent = nullptr);

    // The moment accepted, UTC milliseconds since the epoch.
    qint64 ChosenUtcMs() const { return m_chosen; }
    bool InUtc() const;

    // Reads "2026-12-08 21:30", with seconds or a "T" if given, a date alone (its
    // midnight) or a time alone (today's, by the clock now), in UTC or in local time. False with the reason, in words for the
    // user, when the text is no such time, the local time does not exist (skipped by
    // a change to summer time), or it lies outside the years elements can name.
    static bool ParseTime(const QString &text, bool utc, qint64 &utcMs, QString &why);
    // How the dialog writes a moment for ParseTime to read back.
    static QString FormatTime(qint64 utcMs, bool utc);

    void accept() override;

private:
    void OnZoneChanged();

    QLineEdit *m_edit = nullptr;
    QRadioButton *m_local = nullptr;
    QRadioButton *m_utc = nullptr;
    QLabel *m_error = nullptr;
    qint64 m_chosen = 0;
    bool m_shownInUtc = false; // the zone the text was last written in
};
