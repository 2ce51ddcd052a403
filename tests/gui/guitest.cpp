#include "guitest.h"

#include <QElapsedTimer>

ViewerApp::ViewerApp(const QStringList &arguments, const QString &profileDir) {
    m_profile = (profileDir.isEmpty() ? m_dir.path() : profileDir) + "/QUOR.ini";
    qputenv("QUOR_PROFILE", m_profile.toLocal8Bit());
    m_argStorage.push_back("quor");
    for (const QString &a : arguments)
        m_argStorage.push_back(a.toStdString());
    for (auto &s : m_argStorage)
        m_argv.push_back(s.data());
    m_argv.push_back(nullptr);
    m_argc = static_cast<int>(m_argStorage.size());
    m_app = std::make_unique<CQUORApp>(m_argc, m_argv.data());
    SetMessageService(&messages);
    m_started = m_app->InitInstance();
    Settle();
}

ViewerApp::~ViewerApp() {
    if (m_app->MainWindow())
        m_app->MainWindow()->close();
    Settle(50);
    m_app.reset();
    SetMessageService(nullptr);
}

void ViewerApp::Settle(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}
