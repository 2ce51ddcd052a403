#pragma once
// Command tables and routing: a command goes to the first target, in routing
// order, whose table names its id; the same route decides whether a menu item
// or accelerator is enabled.
#include <functional>
#include <initializer_list>
#include <map>

class CommandTarget {
public:
    virtual ~CommandTarget() = default;

    bool HandlesCommand(unsigned id) const { return m_commands.count(id) != 0; }
    // Runs the handler; false when this table does not name the id.
    bool OnCmdMsg(unsigned id);

    void MapCommand(unsigned id, std::function<void()> handler);

private:
    std::map<unsigned, std::function<void()>> m_commands;
};

// The targets a command is offered to, in order: active view, its document,
// the document window, the main frame, the application. Null entries are skipped.
class CommandRoute {
public:
    CommandRoute(std::initializer_list<CommandTarget *> targets);

    CommandTarget *Handler(unsigned id) const;
    bool IsEnabled(unsigned id) const { return Handler(id) != nullptr; }
    // False when nobody handles the id; the command then does nothing.
    bool Dispatch(unsigned id) const;

private:
    CommandTarget *m_targets[5] = {};
    int m_count = 0;
};
