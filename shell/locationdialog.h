#pragma once
// The observer's place: a name, latitude and longitude (decimal degrees, signed
// or with N/S and E/W) and a height above sea level in metres.
#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;

struct ObserverSettings {
    QString name;
    double latitude = 0;  // degrees, north positive
    double longitude = 0; // degrees, east positive
    double heightM = 0;   // metres above sea level
};

class LocationDialog : public QDialog {
    Q_OBJECT
public:
    // Opens on `place`, or empty fields when `known` is false.
    LocationDialog(const ObserverSettings &place, bool known, QWidget *parent = nullptr);

    const ObserverSettings &Chosen() const { return m_chosen; }

    // Reads the four fields; false with the reason, in words for the user, naming
    // the field that is wrong.
    static bool ParsePlace(const QString &name, const QString &latitude, const QString &longitude,
                           const QString &height, ObserverSettings &place, QString &why);

    void accept() override;

private:
    QLineEdit *m_name = nullptr;
    QLineEdit *m_latitude = nullptr;
    QLineEdit *m_longitude = nullptr;
    QLineEdit *m_height = nullptr;
    QLabel *m_error = nullptr;
    ObserverSettings m_chosen;
};
