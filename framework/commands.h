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

    // The table names the id and, where the handler was mapped with a condition, it holds now.
    bool HandlesCommand(unsigned id) const;
    // Runs the handler; false when this table does not handle the id.
    bool OnCmdMsg(unsigned id);

    // `when`, if given, decides from moment to moment whether this table handles the
    // id: while it is false the command passes on, and its menu item is grey where
    // nobody else takes it.
    void MapCommand(unsigned id, std::function<void()> handler, std::function<bool()> when = {});

private:
    struct Entry {
        std::function<void()> handler;
        std::function<bool()> when;
    };
    std::map<unsigned, Entry> m_commands;
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
