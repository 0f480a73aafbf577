// Resource ids of the shell, shared by Velmor.rc and the C++ code.
// Only #defines: windres reads this file as well as the compiler.
#ifndef VELMOR_RESOURCE_H
#define VELMOR_RESOURCE_H

// Dialogs, menus, icons
#define IDD_CONSOLE                     102
#define IDI_VELMOR                      128
#define IDR_CONSOLE_MENU                129
#define IDR_CAMERA_MENU                 132
#define IDR_PANE_MENU                   140      // the output pane's context menu
#define IDR_CONSOLE_KEYS                141      // the console's accelerators

// Controls of the console dialog
#define IDC_OUTPUT                      1000
#define IDC_COMMAND_LINE                1006
#define IDC_EXECUTE                     1007

// Strings
#define IDS_OLE_INIT_FAILED             100
#define IDS_ABOUTBOX                    101

// System-menu command appended by the console (low four bits clear, as the
// system menu requires)
#define IDM_ABOUTBOX                    16       // 0x0010

// Console menu
#define ID_FILE_BEGIN_GAME              32771
#define ID_FILE_NET_GAME                32772
#define ID_FILE_SAVE_GAME               32773
#define ID_FILE_LOAD_GAME               32774
#define ID_FILE_EXIT                    32775
#define ID_LOG_OPEN                     32779
#define ID_LOG_CLOSE                    32780
#define ID_SHOW_EDITOR_COMMANDS         32781
#define ID_HELP_TOPICS                  32782
#define ID_HELP_ABOUT                   32783
#define ID_WINDOW_NEW_CAMERA            32784
#define ID_WINDOW_ALWAYS_ON_TOP         32785
#define ID_WINDOW_CLOSE_ALL_CAMERAS     32789
#define ID_HELP_ORDERING                32790
#define ID_HELP_ORDER_NOW               32791
#define ID_HELP_WEB_SITE                32792

// The Log menu's Statistics: the shell's figures written to the log
#define ID_LOG_STATISTICS               32811

// Find in the output pane (the pane's context menu and the console's keys)
#define ID_EDIT_FIND_PREVIOUS           32810

// Camera menu (its Help popup reuses the console's Help ids)
#define ID_SIZE_320X200                 32787
#define ID_SIZE_640X480                 32788
#define ID_SIZE_400X300                 32798
#define ID_SIZE_480X360                 32799
#define ID_SIZE_FULL_320X200            32800
#define ID_SIZE_FULL_320X240            32801
#define ID_SIZE_DDRAW_640X400           32802
#define ID_SIZE_DDRAW_640X480           32803
#define ID_CAMERA_HIGH_DETAIL           32804
#define ID_CAMERA_MEDIUM_DETAIL         32805
#define ID_CAMERA_LOW_DETAIL            32806
#define ID_CAMERA_AUDIO                 32807
#define ID_CAMERA_ALWAYS_ON_TOP         32808
#define ID_CAMERA_CLOSE                 32809

// Standard command ids; guarded in case a framework header already has them.
#ifndef ID_EDIT_COPY
#define ID_EDIT_COPY                    57634    // 0xE122
#endif
#ifndef ID_EDIT_CUT
#define ID_EDIT_CUT                     57635    // 0xE123
#endif
#ifndef ID_EDIT_FIND
#define ID_EDIT_FIND                    57636    // 0xE124
#endif
#ifndef ID_EDIT_REPEAT
#define ID_EDIT_REPEAT                  57640    // 0xE128: find next
#endif
#ifndef ID_EDIT_SELECT_ALL
#define ID_EDIT_SELECT_ALL              57642    // 0xE12A
#endif
#ifndef ID_EDIT_PASTE
#define ID_EDIT_PASTE                   57637    // 0xE125
#endif
#ifndef ID_HELP
#define ID_HELP                         57670    // 0xE146
#endif

#endif // VELMOR_RESOURCE_H
