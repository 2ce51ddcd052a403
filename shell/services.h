#pragma once
// Framework services the frames and the application share: message boxes, the
// document template, and how names appear in menus.
#include "framework/document.h"
#include "framework/messages.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>

class ChildFrame;

inline QString Q(const std::string &s) {
    return QString::fromStdString(s);
}

// A file or window name as a menu item shows it: "&" stands for itself, not a mnemonic.
QString MenuItemText(const QString &name);

// Message boxes as real modal QMessageBoxes with an OK button.
class QtMessageService : public MessageService {
public:
    void Show(const std::string &text, const std::string &caption, MessageIcon icon) override;
};

// What the main frame and the document windows ask of the application they belong
// to. Given to each frame when it is made, so that the frames need not reach back up.
class FrameHost {
public:
    virtual bool DispatchCommand(unsigned id) = 0;
    virtual bool IsCommandEnabled(unsigned id) = 0;
    virtual const QStringList &RecentFiles() const = 0;
    // Destroys the document and its window.
    virtual void CloseDocument(Document *document) = 0;

protected:
    ~FrameHost() = default;
};

// Binds the document class to the frame (with its views) that shows it.
struct DocTemplate {
    std::string templateString;
    std::function<std::unique_ptr<Document>()> createDocument;
    std::function<ChildFrame *(Document *)> createFrame;

    QString FilterName() const; // for the Open dialog
};
