// Identifiers of the parser's resources: dialogs, their controls, pictures
// and strings.
#pragma once

// Pictures (SVG files of art/, named by these numbers in res.qrc).
inline constexpr unsigned IDR_MAINFRAME = 128;      // the application's icon
inline constexpr unsigned IDB_HEADER_CHECKS = 131;  // header images: none, unticked, ticked
inline constexpr unsigned IDB_SPLASH = 136;         // the splash picture
inline constexpr unsigned IDB_TRUETYPE = 30000;     // the mark beside scalable fonts

// Strings.
inline constexpr const wchar_t* IDS_APP_TITLE = L"Sheetwise File Parser";
inline constexpr const wchar_t* IDS_ABOUTBOX = L"&About Sheetwise File Parser...";

// Dialogs.
inline constexpr unsigned IDD_PROPERTIES = 102;
inline constexpr unsigned IDD_NEW_PROFILE_NAME = 130;
inline constexpr unsigned IDD_MANAGE_PROFILES = 132;
inline constexpr unsigned IDD_PROGRESS = 30001;

// Labels and frames nobody addresses.
inline constexpr unsigned IDC_STATIC = 0xFFFF;

// The properties dialog.
inline constexpr unsigned IDC_PROFILE_COMBO = 1000;
inline constexpr unsigned IDC_BTN_OK = 1001;
inline constexpr unsigned IDC_BTN_OPTIONS = 1002;
inline constexpr unsigned IDC_OPTIONS_FRAME = 1003;
inline constexpr unsigned IDC_REPORT_IDENTIFIER = 1004;
inline constexpr unsigned IDC_RESIZE_CELLS = 1005;
inline constexpr unsigned IDC_NUMBER_FORMAT = 1006;
inline constexpr unsigned IDC_DECIMAL_PLACES = 1007;
inline constexpr unsigned IDC_DATE_FORMAT = 1008;
inline constexpr unsigned IDC_CUSTOM_FORMAT = 1009;
inline constexpr unsigned IDC_REMOVE_EMPTY_ROWS = 1010;
inline constexpr unsigned IDC_REMOVE_EMPTY_COLUMNS = 1011;
inline constexpr unsigned IDC_MOVE_TO_TOP_LEFT_CELL = 1012;
inline constexpr unsigned IDC_FONT_GROUP = 1013;
inline constexpr unsigned IDC_REMOVE_FORMATTING = 1014;
inline constexpr unsigned IDC_DEFAULT_FONT = 1015;
inline constexpr unsigned IDC_FONT_SIZE = 1016;
inline constexpr unsigned IDC_BOLD = 1017;
inline constexpr unsigned IDC_UNDERLINE = 1018;
inline constexpr unsigned IDC_ITALICIZE = 1019;
inline constexpr unsigned IDC_SECTIONS_GROUP = 1020;
inline constexpr unsigned IDC_REMOVE_SECTIONS = 1021;
inline constexpr unsigned IDC_SECTION_TYPE = 1022;
inline constexpr unsigned IDC_SECTION_LIST = 1023;
inline constexpr unsigned IDC_SECTION_KEYWORD = 1024;
inline constexpr unsigned IDC_REMOVE_CELLS_LEFT = 1025;
inline constexpr unsigned IDC_REMOVE_CELLS_RIGHT = 1026;
inline constexpr unsigned IDC_REMOVE_CELLS_UP = 1027;
inline constexpr unsigned IDC_REMOVE_CELLS_DOWN = 1028;
inline constexpr unsigned IDC_ADD_SECTION = 1029;
inline constexpr unsigned IDC_EDIT_SECTION = 1030;
inline constexpr unsigned IDC_REMOVE_SECTION = 1031;

// The new profile name dialog.
inline constexpr unsigned IDC_NEW_PROFILE_NAME = 1100;

// The manage profiles dialog.
inline constexpr unsigned IDC_PROFILE_LIST = 1200;

// The progress window.
inline constexpr unsigned IDC_PROGRESS_STATUS = 30002;
inline constexpr unsigned IDC_PROGRESS_BAR = 30003;

// System menu command of the About entry.
inline constexpr unsigned IDM_ABOUTBOX = 16;
