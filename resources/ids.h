#pragma once
// Command ids of the viewer. The values are the ones the menus,
// accelerators and string table are keyed by.

// The viewer's own commands.
constexpr unsigned ID_TIMER_STARTSTOP = 0x8003;
constexpr unsigned ID_VIEW_FROMSPACE = 0x8004;
constexpr unsigned ID_VIEW_FROMISS = 0x8005;
constexpr unsigned ID_VIEW_APPROACH = 0x8006;
constexpr unsigned ID_TIMER_REALTIME = 0x8007;
constexpr unsigned ID_TIMER_X10 = 0x8008;
constexpr unsigned ID_TIMER_X30 = 0x8009;
constexpr unsigned ID_TIMER_X60 = 0x800A;

// The live orbit.
constexpr unsigned ID_ORBIT_OPEN_ELEMENTS = 0x8010;
constexpr unsigned ID_ORBIT_UPDATE_ELEMENTS = 0x8011;
constexpr unsigned ID_ORBIT_SIMULATED = 0x8012;
constexpr unsigned ID_ORBIT_LIVE = 0x8013;
constexpr unsigned ID_ORBIT_NOW = 0x8014;
constexpr unsigned ID_ORBIT_GROUND_TRACK = 0x8015;
constexpr unsigned ID_ORBIT_SET_TIME = 0x8016;
constexpr unsigned ID_ORBIT_SET_LOCATION = 0x8017;
constexpr unsigned ID_ORBIT_PASSES = 0x8018;

// Pictures.
constexpr unsigned ID_FILE_SAVE_PICTURE = 0x8020;
constexpr unsigned ID_VIEW_ANTIALIASING = 0x8021;
constexpr unsigned ID_VIEW_FROMHERE = 0x8022;
constexpr unsigned ID_VIEW_FOLLOW = 0x8023;
constexpr unsigned ID_VIEW_ALTITUDE_GRID = 0x8024;

// Standard commands.
constexpr unsigned ID_FILE_NEW = 0xE100;
constexpr unsigned ID_FILE_OPEN = 0xE101;
constexpr unsigned ID_FILE_CLOSE = 0xE102;
constexpr unsigned ID_FILE_SAVE = 0xE103;
constexpr unsigned ID_FILE_PRINT_SETUP = 0xE106;
constexpr unsigned ID_FILE_PRINT = 0xE107;
constexpr unsigned ID_FILE_MRU_FILE1 = 0xE110;
constexpr unsigned ID_EDIT_COPY = 0xE122;
constexpr unsigned ID_EDIT_CUT = 0xE123;
constexpr unsigned ID_EDIT_PASTE = 0xE125;
constexpr unsigned ID_EDIT_UNDO = 0xE12B;
constexpr unsigned ID_WINDOW_ARRANGE = 0xE131;
constexpr unsigned ID_WINDOW_CASCADE = 0xE132;
constexpr unsigned ID_WINDOW_TILE_HORZ = 0xE133;
constexpr unsigned ID_WINDOW_SPLIT = 0xE135;
constexpr unsigned ID_APP_ABOUT = 0xE140;
constexpr unsigned ID_APP_EXIT = 0xE141;
constexpr unsigned ID_NEXT_PANE = 0xE150;
constexpr unsigned ID_PREV_PANE = 0xE151;
constexpr unsigned ID_VIEW_TOOLBAR = 0xE800;
constexpr unsigned ID_VIEW_STATUS_BAR = 0xE801;
