#include "guitest.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QMenuBar>

namespace {

QMenu *PopupMenu(MainFrame *main, const QString &title) {
    for (QAction *a : main->menuBar()->actions()) {
        if (a->text() == title && a->menu()) {
            emit a->menu()->aboutToShow();
            return a->menu();
        }
    }
    return nullptr;
}

} // namespace

bool ChooseMenuItem(MainFrame *main, const QString &title, const QString &text) {
    QMenu *menu = PopupMenu(main, title);
    if (!menu)
        return false;
    for (QAction *item : menu->actions()) {
        if (item->text() == text && item->isVisible() && item->isEnabled()) {
            item->trigger();
            ViewerApp::Settle(100);
            return true;
        }
    }
    return false;
}

QStringList MenuItemTexts(MainFrame *main, const QString &title) {
    QStringList texts;
    if (QMenu *menu = PopupMenu(main, title)) {
        for (QAction *item : menu->actions()) {
            if (!item->isSeparator() && item->isVisible())
                texts << item->text();
        }
    }
    return texts;
}

bool WriteBmp24(const QString &path, int w, int h, const std::function<QColor(int, int)> &pixel) {
    const int stride = (w * 3 + 3) / 4 * 4;
    QByteArray data(54 + stride * h, '\0');
    auto put32 = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            data[at + i] = static_cast<char>(v >> (8 * i));
    };
    data[0] = 'B';
    data[1] = 'M';
    put32(2, data.size());
    put32(10, 54);
    put32(14, 40);
    put32(18, w);
    put32(22, h);
    data[26] = 1;
    data[28] = 24;
    put32(34, stride * h);
    for (int row = 0; row < h; ++row) {
        for (int x = 0; x < w; ++x) {
            const QColor c = pixel(x, h - 1 - row);
            const int at = 54 + row * stride + x * 3;
            data[at] = static_cast<char>(c.blue());
            data[at + 1] = static_cast<char>(c.green());
            data[at + 2] = static_cast<char>(c.red());
        }
    }
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

bool WriteTestEarthMap(const QString &directory) {
    return WriteBmp24(directory + "/Weltkart.bmp", 64, 32, [](int x, int y) {
        return (x / 8 + y / 8) % 3 == 0 ? QColor(40, 140, 40) : QColor(20, 40, 160);
    });
}

ViewerApp::ViewerApp(const QStringList &arguments, const QString &profileDir,
                     std::function<void()> onMessage) {
    messages.onShow = std::move(onMessage);
    m_profile = (profileDir.isEmpty() ? m_dir.path() : profileDir) + "/QUOR.ini";
    m_previousDir = QDir::currentPath();
    WriteTestEarthMap(m_dir.path());
    QDir::setCurrent(m_dir.path());
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
    QDir::setCurrent(m_previousDir);
}

void ViewerApp::Settle(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool SettleUntil(const std::function<bool()> &done, int capMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < capMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}
