#include "locationdialog.h"

#include "../orbit/observer.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

QString Capitalised(const std::string &reason) {
    QString text = QString::fromStdString(reason);
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text + '.';
}

} // namespace

bool LocationDialog::ParsePlace(const QString &name, const QString &latitude, const QString &longitude,
                                const QString &height, ObserverSettings &place, QString &why) {
    // Each field read on its own through the place parser, so the message names the one that is wrong.
    double lat = 0, lon = 0, h = 0, unused1 = 0, unused2 = 0;
    std::string reason;
    const std::string latText = latitude.trimmed().toStdString();
    const std::string lonText = longitude.trimmed().toStdString();
    const QString heightText = height.trimmed();
    if (latText.empty()) {
        why = QStringLiteral("Type a latitude, e.g. 51.48 or 51.48N.");
        return false;
    }
    if (latText.find(',') != std::string::npos ||
        !ParseObserverPlace(latText + ",0", lat, unused1, unused2, reason)) {
        why = Capitalised(reason.empty() ? "the latitude is not a number of degrees" : reason);
        return false;
    }
    if (lonText.empty()) {
        why = QStringLiteral("Type a longitude, e.g. -0.01 or 0.01W.");
        return false;
    }
    if (lonText.find(',') != std::string::npos ||
        !ParseObserverPlace("0," + lonText, unused1, lon, unused2, reason)) {
        why = Capitalised(reason.empty() ? "the longitude is not a number of degrees" : reason);
        return false;
    }
    if (!heightText.isEmpty()) {
        if (heightText.contains(',') ||
            !ParseObserverPlace("0,0," + heightText.toStdString(), unused1, unused2, h, reason)) {
            why = Capitalised(reason.empty() ? "the height is not a number of metres" : reason);
            return false;
        }
    }
    place.name = name.simplified();
    place.latitude = lat;
    place.longitude = lon;
    place.heightM = h;
    return true;
}

LocationDialog::LocationDialog(const ObserverSettings &place, bool known, QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("LocationDialog"));
    setWindowTitle(QStringLiteral("Set Location"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Where you watch the station from. Degrees as decimals or\n"
                                                "with minutes and seconds, signed or with N/S and E/W\n"
                                                "(51.48N, 0.01W; 31\u00b033'S or 31 33 S)."),
                                 this));
    auto *form = new QFormLayout;
    m_name = new QLineEdit(known ? place.name : QString(), this);
    m_latitude = new QLineEdit(known ? QString::number(place.latitude, 'f', 4) : QString(), this);
    m_longitude = new QLineEdit(known ? QString::number(place.longitude, 'f', 4) : QString(), this);
    m_height = new QLineEdit(known ? QString::number(place.heightM, 'f', 0) : QStringLiteral("0"), this);
    m_name->setObjectName(QStringLiteral("name"));
    m_latitude->setObjectName(QStringLiteral("latitude"));
    m_longitude->setObjectName(QStringLiteral("longitude"));
    m_height->setObjectName(QStringLiteral("height"));
    form->addRow(QStringLiteral("&Name:"), m_name);
    form->addRow(QStringLiteral("&Latitude:"), m_latitude);
    form->addRow(QStringLiteral("L&ongitude:"), m_longitude);
    form->addRow(QStringLiteral("&Height above sea level (m):"), m_height);
    layout->addLayout(form);
    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("error"));
    m_error->setStyleSheet(QStringLiteral("color: #b00000"));
    m_error->setWordWrap(true);
    m_error->hide();
    layout->addWidget(m_error);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &LocationDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &LocationDialog::reject);
    for (QLineEdit *edit : {m_name, m_latitude, m_longitude, m_height})
        connect(edit, &QLineEdit::textEdited, m_error, &QLabel::hide);
}

void LocationDialog::accept() {
    QString why;
    if (!ParsePlace(m_name->text(), m_latitude->text(), m_longitude->text(), m_height->text(), m_chosen,
                    why)) {
        m_error->setText(why);
        m_error->show();
        return;
    }
    QDialog::accept();
}
