#pragma once
// Framework services the frames and the application share: message boxes, the
// document template, and how names appear in menus.
#include "framework/document.h"
#include "framework/messages.h"

#include <QString>

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

// Binds the document class to the frame (with its views) that shows it.
struct DocTemplate {
    std::string templateString;
    std::function<std::unique_ptr<Document>()> createDocument;
    std::function<ChildFrame *(Document *)> createFrame;

    QString FilterName() const; // for the Open dialog
};
