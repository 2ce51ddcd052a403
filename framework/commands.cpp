#include "commands.h"

bool CommandTarget::HandlesCommand(unsigned id) const {
    auto it = m_commands.find(id);
    return it != m_commands.end() && (!it->second.when || it->second.when());
}

bool CommandTarget::OnCmdMsg(unsigned id) {
    if (!HandlesCommand(id))
        return false;
    // Copy first: a handler may close the window that owns this table.
    auto handler = m_commands.find(id)->second.handler;
    handler();
    return true;
}

void CommandTarget::MapCommand(unsigned id, std::function<void()> handler, std::function<bool()> when) {
    m_commands[id] = Entry{std::move(handler), std::move(when)};
}

CommandRoute::CommandRoute(std::initializer_list<CommandTarget *> targets) {
    for (CommandTarget *t : targets) {
        if (t && m_count < 5)
            m_targets[m_count++] = t;
    }
}

CommandTarget *CommandRoute::Handler(unsigned id) const {
    for (int i = 0; i < m_count; ++i) {
        if (m_targets[i]->HandlesCommand(id))
            return m_targets[i];
    }
    return nullptr;
}

bool CommandRoute::Dispatch(unsigned id) const {
    CommandTarget *target = Handler(id);
    return target && target->OnCmdMsg(id);
}
