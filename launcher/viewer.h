#pragma once
// Running the viewer and waiting for it to end.
#include <QString>

class ViewerStarter {
public:
    virtual ~ViewerStarter() = default;
    // Runs the viewer and returns its exit status once it has ended; non-zero
    // also when it cannot be started or does not end normally.
    virtual int Run() = 0;
};

// Runs a program without arguments as a child process. While it runs, the
// launcher keeps handling window-system events other than user input: on X11
// the clipboard text is served by its owner for as long as the owner lives.
class ProcessViewerStarter : public ViewerStarter {
public:
    explicit ProcessViewerStarter(QString program) : m_program(std::move(program)) {}
    int Run() override;
    const QString &program() const { return m_program; }

private:
    QString m_program;
};

// The program to run as the viewer: the one named by QUOR_LAUNCHER_VIEWER (a
// seam for tests and diagnostics), else the quor beside the launcher's own
// executable, else quor from the search path.
QString ViewerProgram();
