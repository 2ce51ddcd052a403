#pragma once
// Modal message boxes go through this service so that the GUI shows a real box,
// command-line tools collect the texts, and tests record them without blocking.
#include <string>
#include <vector>

enum class MessageIcon { None, Information, Exclamation, Error };

struct ShownMessage {
    std::string text;
    std::string caption;
    MessageIcon icon;
};

class MessageService {
public:
    virtual ~MessageService() = default;
    virtual void Show(const std::string &text, const std::string &caption, MessageIcon icon) = 0;
};

// Collects every message instead of showing it.
class RecordingMessageService : public MessageService {
public:
    void Show(const std::string &text, const std::string &caption, MessageIcon icon) override {
        shown.push_back({text, caption, icon});
    }
    std::vector<std::string> Texts() const;
    std::vector<ShownMessage> shown;
};

// Installs a service for the lifetime of the guard and restores the previous one after.
class ScopedMessageService {
public:
    explicit ScopedMessageService(MessageService *service);
    ~ScopedMessageService();
    ScopedMessageService(const ScopedMessageService &) = delete;
    ScopedMessageService &operator=(const ScopedMessageService &) = delete;

private:
    MessageService *m_previous;
};

// The application name, caption of every message box that names no other.
inline constexpr const char *kAppCaption = "QUOR";

void SetMessageService(MessageService *service); // null: write to stderr
MessageService *CurrentMessageService();
void ShowMessage(const std::string &text, const std::string &caption = kAppCaption,
                 MessageIcon icon = MessageIcon::None);

// Diagnostic output for developers; users never see it.
void Trace(const std::string &text);
