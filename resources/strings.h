#pragma once
// The viewer's string table, menus and accelerators as data, from which the
// shell builds its actions, menus and shortcuts.
#include <string>
#include <vector>

// "prompt\ntip" of a command; empty when the command has none.
std::string CommandString(unsigned id);
std::string CommandPrompt(unsigned id); // the part before the newline
std::string CommandTip(unsigned id);    // the part after it

extern const char *const kIdleMessage;       // status bar text while nothing else shows
extern const char *const kMainTitle;         // main window caption
extern const char *const kDocTemplateString; // document template fields, newline-separated

// Field n (0-based) of a newline-separated template string.
std::string TemplateField(const std::string &templateString, int n);

struct MenuItem {
    const char *text; // null for a separator
    unsigned id;
    bool checkable = false; // shows a check mark while its state is on
    bool checkBox = false;  // a check box in the menu, for a setting rather than a mode
};

struct MenuPopup {
    const char *title;
    std::vector<MenuItem> items;
};

using MenuBar = std::vector<MenuPopup>;

const MenuBar &MainFrameMenu(); // while no document window is active
const MenuBar &DocumentMenu();  // while a document window is active

struct Accelerator {
    const char *keys; // in the notation QKeySequence reads, e.g. "Ctrl+O"
    unsigned id;
};

const std::vector<Accelerator> &Accelerators();
