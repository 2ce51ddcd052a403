#include "settimedialog.h"

#include "../view/core/livescene.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTimeZone>
#include <QVBoxLayout>

namespace {

// Any moment may be shown (one with no position says why); these bounds only
// keep a mistyped year from running the clock out of the calendar.
constexpr int kFirstYear = 1900;
constexpr int kLastYear = 2200;

QString Example() {
    return QStringLiteral("year-month-day hours:minutes, e.g. 2026-12-08 21:30 (seconds may follow: "
                          "21:30:15), or a time alone for today");
}

} // namespace

bool SetTimeDialog::ParseTime(const QString &text, bool utc, qint64 &utcMs, QString &why) {
    static const QRegularExpression form(
        QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})(?:[ T]+(\\d{1,2}):(\\d{2})(?::(\\d{2}))?)?$"));
    const QString trimmed = text.simplified();
    if (trimmed.isEmpty()) {
        why = QStringLiteral("Type a date and time: ") + Example() + '.';
        return false;
    }
    // A time alone is today's, in the zone it is written in.
    static const QRegularExpression timeAlone(QStringLiteral("^(\\d{1,2}):(\\d{2})(?::(\\d{2}))?$"));
    const QRegularExpressionMatch t = timeAlone.match(trimmed);
    if (t.hasMatch()) {
        const QDate today =
            QDateTime::fromMSecsSinceEpoch(UtcNowMs(), utc ? QTimeZone::utc() : QTimeZone::systemTimeZone())
                .date();
        return ParseTime(today.toString(Qt::ISODate) + ' ' + trimmed, utc, utcMs, why);
    }
    const QRegularExpressionMatch m = form.match(trimmed);
    if (!m.hasMatch()) {
        why =
            QStringLiteral("\"%1\" is not a date and time. Write it as %2.").arg(trimmed.left(40), Example());
        return false;
    }
    const int year = m.captured(1).toInt();
    const QDate date(year, m.captured(2).toInt(), m.captured(3).toInt());
    if (!date.isValid()) {
        why = QStringLiteral("There is no day %1 in the calendar.").arg(trimmed.section(' ', 0, 0));
        return false;
    }
    const QTime time = m.captured(4).isEmpty()
                           ? QTime(0, 0)
                           : QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!time.isValid()) {
        why = QStringLiteral("%1 is not a time of day: hours run to 23, minutes and seconds to 59.")
                  .arg(trimmed.section(' ', 1));
        return false;
    }
    if (year < kFirstYear || year > kLastYear) {
        why = QStringLiteral("The year must lie between %1 and %2.")
                  .arg(kFirstYear)
                  .arg(kLastYear);
        return false;
    }
    const QDateTime moment = utc ? QDateTime(date, time, QTimeZone::utc()) : QDateTime(date, time);
    // Qt moves a local time the clocks skip (the change to summer time) past the gap.
    if (!moment.isValid() || moment.date() != date || moment.time() != time) {
        why = QStringLiteral("%1 on %2 does not exist in local time: the clocks skip it. Choose another "
                             "time, or UTC.")
                  .arg(time.toString(QStringLiteral("HH:mm:ss")), date.toString(Qt::ISODate));
        return false;
    }
    utcMs = moment.toMSecsSinceEpoch();
    return true;
}

QString SetTimeDialog::FormatTime(qint64 utcMs, bool utc) {
    const QDateTime moment = QDateTime::fromMSecsSinceEpoch(utcMs, QTimeZone::utc());
    return (utc ? moment : moment.toLocalTime()).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

SetTimeDialog::SetTimeDialog(qint64 shownUtcMs, bool utc, QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SetTimeDialog"));
    setWindowTitle(QStringLiteral("Set Time"));
    auto *layout = new QVBoxLayout(this);
    auto *label =
        new QLabel(QStringLiteral("Show the station at this date and time\n(%1):").arg(Example()), this);
    m_edit = new QLineEdit(FormatTime(shownUtcMs, utc), this);
    label->setBuddy(m_edit);
    const QString zone = QDateTime::currentDateTime().timeZoneAbbreviation();
    m_local = new QRadioButton(QStringLiteral("&Local time (%1)").arg(zone), this);
    m_utc = new QRadioButton(QStringLiteral("&UTC"), this);
    (utc ? m_utc : m_local)->setChecked(true);
    m_shownInUtc = utc;
    m_error = new QLabel(this);
    m_error->setStyleSheet(QStringLiteral("color: #b00000"));
    m_error->setWordWrap(true);
    m_error->hide();
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(label);
    layout->addWidget(m_edit);
    layout->addWidget(m_local);
    layout->addWidget(m_utc);
    layout->addWidget(m_error);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &SetTimeDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SetTimeDialog::reject);
    connect(m_utc, &QRadioButton::toggled, this, &SetTimeDialog::OnZoneChanged);
    connect(m_edit, &QLineEdit::textEdited, m_error, &QLabel::hide);
    m_edit->selectAll();
}

bool SetTimeDialog::InUtc() const {
    return m_utc->isChecked();
}

void SetTimeDialog::OnZoneChanged() {
    // The same moment, written in the other zone; a text that is no time yet stays as typed.
    qint64 ms = 0;
    QString why;
    if (m_shownInUtc != InUtc() && ParseTime(m_edit->text(), m_shownInUtc, ms, why))
        m_edit->setText(FormatTime(ms, InUtc()));
    m_shownInUtc = InUtc();
}

void SetTimeDialog::accept() {
    QString why;
    if (!ParseTime(m_edit->text(), InUtc(), m_chosen, why)) {
        m_error->setText(why);
        m_error->show();
        // Room for the whole message: a dialog keeps its first size unless asked.
        adjustSize();
        m_edit->setFocus();
        return;
    }
    QDialog::accept();
}
