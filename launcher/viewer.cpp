#include "viewer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

int ProcessViewerStarter::Run() {
    QProcess process;
    process.setProgram(m_program);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    process.start();
    if (!process.waitForStarted(-1))
        return -1;
    // Not a nested QEventLoop: a quit posted by a window (Esc, close) must not
    // end the wait, and processEvents ignores quit requests.
    while (process.state() != QProcess::NotRunning)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::ExcludeUserInputEvents);
    if (process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

QString ViewerProgram() {
    const QString named = qEnvironmentVariable("QUOR_LAUNCHER_VIEWER");
    if (!named.isEmpty())
        return named;
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/quor");
    const QFileInfo info(beside);
    if (info.isFile() && info.isExecutable())
        return beside;
    const QString found = QStandardPaths::findExecutable(QStringLiteral("quor"));
    return found.isEmpty() ? QStringLiteral("quor") : found;
}
