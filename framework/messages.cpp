#include "messages.h"

#include <cstdio>

namespace {
MessageService *g_messageService = nullptr;
}

std::vector<std::string> RecordingMessageService::Texts() const {
    std::vector<std::string> texts;
    texts.reserve(shown.size());
    for (const auto &m : shown)
        texts.push_back(m.text);
    return texts;
}

ScopedMessageService::ScopedMessageService(MessageService *service) : m_previous(CurrentMessageService()) {
    SetMessageService(service);
}

ScopedMessageService::~ScopedMessageService() {
    SetMessageService(m_previous);
}

void SetMessageService(MessageService *service) {
    g_messageService = service;
}

MessageService *CurrentMessageService() {
    return g_messageService;
}

void ShowMessage(const std::string &text, const std::string &caption, MessageIcon icon) {
    if (g_messageService) {
        g_messageService->Show(text, caption, icon);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

void Trace(const std::string &text) {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}
