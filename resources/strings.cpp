#include "strings.h"

#include "ids.h"

#include <map>

const char *const kIdleMessage = "Click and drag mouse (Key modifier for zoom)";
const char *const kMainTitle = "QUOR";
const char *const kDocTemplateString = "\nQUOR\nQUOR\nQUOR Files (*.3ds)\n.3DS\nQUOR.Document\nQUOR Document";

namespace {

const std::map<unsigned, const char *> &Strings() {
    static const std::map<unsigned, const char *> strings = {
        {ID_FILE_NEW, "Create a new document\nNew"},
        {ID_FILE_OPEN, "Open an existing document\nOpen"},
        {ID_FILE_CLOSE, "Close the active document\nClose"},
        {ID_FILE_SAVE, "Save the active document\nSave"},
        {ID_FILE_PRINT, "Print the active document\nPrint"},
        {ID_EDIT_COPY, "Copy the selection and put it on the Clipboard\nCopy"},
        {ID_EDIT_CUT, "Cut the selection and put it on the Clipboard\nCut"},
        {ID_EDIT_PASTE, "Insert Clipboard contents\nPaste"},
        {ID_EDIT_UNDO, "Undo the last action\nUndo"},
        {ID_WINDOW_ARRANGE, "Arrange icons at the bottom of the window\nArrange Icons"},
        {ID_WINDOW_CASCADE, "Arrange windows so they overlap\nCascade Windows"},
        {ID_WINDOW_TILE_HORZ, "Arrange windows as non-overlapping tiles\nTile Windows"},
        {ID_WINDOW_SPLIT, "Split the active window into panes\nSplit"},
        {ID_APP_ABOUT, "Display program information, version number and copyright\nAbout"},
        {ID_APP_EXIT, "Quit the application; prompts to save documents\nExit"},
        {ID_NEXT_PANE, "Switch to the next window pane\nNext Pane"},
        {ID_PREV_PANE, "Switch back to the previous window pane\nPrevious Pane"},
        {ID_VIEW_TOOLBAR, "Show or hide the toolbar\nToggle ToolBar"},
        {ID_VIEW_STATUS_BAR, "Show or hide the status bar\nToggle StatusBar"},
        {ID_ORBIT_OPEN_ELEMENTS,
         "Open published two-line orbital elements of a station\nOpen Orbit Elements"},
        {ID_ORBIT_UPDATE_ELEMENTS, "Download the current elements of the chosen station\nUpdate Elements"},
        {ID_ORBIT_SIMULATED, "Show the simulated orbit\nSimulated Orbit"},
        {ID_ORBIT_LIVE, "Show the real station where it is, from its orbital elements\nLive Orbit"},
        {ID_ORBIT_NOW, "Set the live clock back to the current time, at real speed\nNow"},
        {ID_ORBIT_SET_TIME, "Set the live clock to a date and time of your choice\nSet Time"},
        {ID_ORBIT_SET_LOCATION,
         "Say where you watch from, to see where to look for the station\nSet Location"},
        {ID_ORBIT_PASSES, "List the passes over your location and draw each on a chart of the sky\nPasses"},
        {ID_ORBIT_GROUND_TRACK, "Show or hide the station's track over the ground\nGround Track"},
        {ID_FILE_SAVE_PICTURE, "Save the 3-D pane as a PNG or JPEG picture\nSave Picture As"},
        {ID_VIEW_ANTIALIASING, "Smooth the edges of the globe and the station\nAntialiasing"},
        {ID_VIEW_FROMHERE, "The sky from your location, with the station crossing it\nFrom Here"},
        {ID_VIEW_FOLLOW, "Look at the station again, or where it rises next\nFollow"},
        {ID_VIEW_ALTITUDE_GRID, "Show or hide the lines of equal height and direction on the sky\nAltitude Grid"},
    };
    return strings;
}

} // namespace

std::string CommandString(unsigned id) {
    if (id >= 0xE110 && id <= 0xE11F)
        return "Open this document";
    auto it = Strings().find(id);
    return it == Strings().end() ? std::string() : it->second;
}

std::string CommandPrompt(unsigned id) {
    const std::string s = CommandString(id);
    return s.substr(0, s.find('\n'));
}

std::string CommandTip(unsigned id) {
    const std::string s = CommandString(id);
    const auto nl = s.find('\n');
    return nl == std::string::npos ? std::string() : s.substr(nl + 1);
}

std::string TemplateField(const std::string &s, int n) {
    size_t start = 0;
    for (int i = 0; i < n; ++i) {
        start = s.find('\n', start);
        if (start == std::string::npos)
            return {};
        ++start;
    }
    return s.substr(start, s.find('\n', start) - start);
}

const MenuBar &MainFrameMenu() {
    static const MenuBar menu = {
        {"&File",
         {{"&Open...\tCtrl+O", ID_FILE_OPEN},
          {"Open Orbit Elements\u2026", ID_ORBIT_OPEN_ELEMENTS},
          {"Update Elements", ID_ORBIT_UPDATE_ELEMENTS},
          {nullptr, 0},
          {"Recent File", ID_FILE_MRU_FILE1},
          {nullptr, 0},
          {"E&xit", ID_APP_EXIT}}},
        {"&View",
         {{"&Toolbar", ID_VIEW_TOOLBAR, true},
          {"&Status Bar", ID_VIEW_STATUS_BAR, true},
          {"From Space", ID_VIEW_FROMSPACE},
          {"From ISS", ID_VIEW_FROMISS}}},
        {"&Help", {{"&About QUOR...", ID_APP_ABOUT}}},
    };
    return menu;
}

const MenuBar &DocumentMenu() {
    static const MenuBar menu = {
        {"&File",
         {{"&Open...\tCtrl+O", ID_FILE_OPEN},
          {"&Close", ID_FILE_CLOSE},
          {"Save Picture As\u2026", ID_FILE_SAVE_PICTURE},
          {nullptr, 0},
          {"Open Orbit Elements\u2026", ID_ORBIT_OPEN_ELEMENTS},
          {"Update Elements", ID_ORBIT_UPDATE_ELEMENTS},
          {"Simulated Orbit", ID_ORBIT_SIMULATED, true},
          {"Live Orbit", ID_ORBIT_LIVE, true},
          {"Ground Track", ID_ORBIT_GROUND_TRACK, true},
          {"Now", ID_ORBIT_NOW},
          {"Set Time\u2026", ID_ORBIT_SET_TIME},
          {"Set Location\u2026", ID_ORBIT_SET_LOCATION},
          {"Passes\u2026", ID_ORBIT_PASSES},
          {nullptr, 0},
          {"Recent File", ID_FILE_MRU_FILE1},
          {nullptr, 0},
          {"E&xit", ID_APP_EXIT}}},
        {"&View",
         {{"From Space", ID_VIEW_FROMSPACE},
          {"From ISS", ID_VIEW_FROMISS},
          {"Approach", ID_VIEW_APPROACH},
          {"From Here\tCtrl+H", ID_VIEW_FROMHERE},
          {"Follow", ID_VIEW_FOLLOW},
          {nullptr, 0},
          {"Antialiasing", ID_VIEW_ANTIALIASING, false, true},
          {"Altitude Grid", ID_VIEW_ALTITUDE_GRID, false, true}}},
        {"&Window",
         {{"&Cascade", ID_WINDOW_CASCADE},
          {"&Tile", ID_WINDOW_TILE_HORZ},
          {"&Arrange Icons", ID_WINDOW_ARRANGE},
          {"Split", ID_WINDOW_SPLIT}}},
        {"Timer",
         {{"Start / Stop", ID_TIMER_STARTSTOP, true},
          {"Realtime", ID_TIMER_REALTIME, true},
          {"X 10", ID_TIMER_X10, true},
          {"X 30", ID_TIMER_X30, true},
          {"X 60", ID_TIMER_X60, true}}},
        {"&Help", {{"&About QUOR...", ID_APP_ABOUT}}},
    };
    return menu;
}

const std::vector<Accelerator> &Accelerators() {
    static const std::vector<Accelerator> table = {
        {"Ctrl+N", ID_FILE_NEW},    {"Ctrl+O", ID_FILE_OPEN},   {"Ctrl+S", ID_FILE_SAVE},
        {"Ctrl+P", ID_FILE_PRINT},  {"Ctrl+Z", ID_EDIT_UNDO},   {"Ctrl+X", ID_EDIT_CUT},
        {"Ctrl+C", ID_EDIT_COPY},   {"Ctrl+V", ID_EDIT_PASTE},  {"Alt+Backspace", ID_EDIT_UNDO},
        {"Shift+Del", ID_EDIT_CUT}, {"Ctrl+Ins", ID_EDIT_COPY}, {"Shift+Ins", ID_EDIT_PASTE},
        {"Ctrl+H", ID_VIEW_FROMHERE}, {"F6", ID_NEXT_PANE},       {"Shift+F6", ID_PREV_PANE},
    };
    return table;
}
