#include "services.h"

#include "../resources/strings.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>

QString MenuItemText(const QString &name) {
    QString text = name;
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

void QtMessageService::Show(const std::string &text, const std::string &caption, MessageIcon icon) {
    // Unattended runs (scripted checks, tests of the whole program) log the
    // boxes to a file instead of waiting for someone to press OK.
    const QByteArray log = qgetenv("QUOR_RECORD_MESSAGES");
    if (!log.isEmpty()) {
        QFile file(QString::fromLocal8Bit(log));
        if (file.open(QIODevice::Append | QIODevice::Text)) {
            QString line = Q(caption) + '|' + QString::number(static_cast<int>(icon)) + '|' + Q(text);
            file.write(line.replace('\n', "\\n").toUtf8() + '\n');
        }
        return;
    }
    QMessageBox::Icon qicon = QMessageBox::NoIcon;
    switch (icon) {
    case MessageIcon::Information:
        qicon = QMessageBox::Information;
        break;
    case MessageIcon::Exclamation:
        qicon = QMessageBox::Warning;
        break;
    case MessageIcon::Error:
        qicon = QMessageBox::Critical;
        break;
    case MessageIcon::None:
        break;
    }
    QWidget *parent = QApplication::activeWindow();
    QMessageBox box(qicon, Q(caption), Q(text), QMessageBox::Ok, parent);
    box.exec();
}

QString DocTemplate::FilterName() const {
    return Q(TemplateField(templateString, 3));
}
