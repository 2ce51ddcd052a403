#pragma once
// The viewer's application object and its About box.
#include "framework.h"
#include "livemodel.h"
#include "orbitcommands.h"

#include <QDialog>

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget *parent = nullptr);
};

class CQUORApp : public Application {
    Q_OBJECT
public:
    CQUORApp(int &argc, char **argv);
    ~CQUORApp() override;

    bool InitInstance() override;
    void OnAppAbout();
    // Program-wide and remembered; every scene view changes at once.
    void SetAntialiasing(bool on);

    OrbitCommands *Orbit() const { return m_orbit; }
    // The live orbit's state: elements, place, clock.
    LiveModel *Live() const { return m_live; }

private:
    LiveModel *m_live;
    OrbitCommands *m_orbit;
};
