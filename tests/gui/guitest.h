#pragma once
// Helpers for tests that drive the real viewer, in process or as a child process.
#include "framework/messages.h"
#include "shell/quor.h"

#include <QColor>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <string>
#include <vector>

inline std::string SourcePath(const std::string &relative) {
    return std::string(QUOR_SOURCE_DIR) + "/" + relative;
}

// Writes a 24-bit bottom-up BMP; pixel(x, yFromTop) gives each colour.
bool WriteBmp24(const QString &path, int w, int h, const std::function<QColor(int, int)> &pixel);
// A small Earth map (blue oceans, green land bands) named Weltkart.bmp in the directory.
bool WriteTestEarthMap(const QString &directory);

class MainFrame;

// Opens the popup as a click on its title does and triggers the shown, enabled item
// with the text; false when there is none.
bool ChooseMenuItem(MainFrame *main, const QString &title, const QString &text);
// The texts of the popup's shown items, as the popup shows them when opened.
QStringList MenuItemTexts(MainFrame *main, const QString &title);

// Runs the event loop until done() holds or capMs have passed; whether it holds.
bool SettleUntil(const std::function<bool()> &done, int capMs);

// Records messages; onShow runs while the box would be up.
class HookedMessages : public RecordingMessageService {
public:
    void Show(const std::string &text, const std::string &caption, MessageIcon icon) override {
        RecordingMessageService::Show(text, caption, icon);
        if (onShow)
            onShow();
    }
    std::function<void()> onShow;
};

// A viewer application in this process, with its profile and working directory
// (holding an Earth map) in a temporary directory and its message boxes recorded.
class ViewerApp {
public:
    explicit ViewerApp(const QStringList &arguments = {}, const QString &profileDir = QString(),
                       std::function<void()> onMessage = {});
    ~ViewerApp();

    CQUORApp &app() { return *m_app; }
    bool started() const { return m_started; }
    HookedMessages messages;
    QString profilePath() const { return m_profile; }

    // Runs the event loop for a while so that windows settle and paint.
    static void Settle(int ms = 200);

private:
    QTemporaryDir m_dir;
    QString m_profile;
    QString m_previousDir;
    std::vector<std::string> m_argStorage;
    std::vector<char *> m_argv;
    int m_argc = 0;
    std::unique_ptr<CQUORApp> m_app;
    bool m_started = false;
};
