// "What's This?" help of every dialog: pairs of (control id, topic id) ended
// by a zero pair, and the topic file inside QLNHELP.chm that holds the text
// popups of those topics. HtmlHelpW (HH_TP_HELP_WM_HELP) is handed a table
// unchanged, looks the control's id up in it and shows the popup of the topic.
//
// The tables are inline constants: a deliverable carries only those its
// dialogs name, and the help file's tests read these same tables.
#pragma once

#include <windows.h>

#include "chrome.h"

// DirDress folder page (dialog 101).
inline constexpr DWORD FolderPageHelpIds[] = {
    1001, 1,  // "Change &Icon..."
    1003, 2,  // "&Default Icon"
    1002, 3,  // icon preview
    1009, 4,  // "Use localizable string &resource for the InfoTip"
    1000, 5,  // InfoTip edit box
    1007, 6,  // "&Change..." (InfoTip string)
    1004, 7,  // label edit box
    1005, 8,  // "C&hange..." (label string)
    0, 0,
};

// DirDress redirected-folder page (dialog 104): same topic file, so the label
// controls share topics 7 and 8 with the folder page.
inline constexpr DWORD RedirectedPageHelpIds[] = {
    1004, 7,  // label edit box
    1005, 8,  // "C&hange..."
    1011, 9,  // "Target Shortcut Properties"
    0, 0,
};

// DocDress file page (dialog 102). Group boxes and explanatory texts that sit
// in the table are marked as having no help; 1013, 1017 and 1021 are absent.
inline constexpr DWORD FilePageHelpIds[] = {
    1012, 1,        // "&Enable custom icons"
    1011, 2,        // "E&nable custom InfoTips"
    1005, 3,        // file-type icon preview
    1015, kNoHelp,  // group box "File icon"
    1010, kNoHelp,  // text above the icon buttons
    1001, 4,        // "Change &Icon..."
    1002, 5,        // "&Default Icon"
    1016, 6,        // file icon preview
    1014, kNoHelp,  // group box "File Info&Tip"
    1009, kNoHelp,  // text above the InfoTip controls
    1022, 7,        // "Use localizable string &resource for the InfoTip"
    1023, 8,        // InfoTip edit box
    1024, 9,        // "&Change..." (InfoTip string)
    1019, 10,       // label edit box
    1020, 11,       // "C&hange..." (label string)
    0, 0,
};

// VolDress drive page (dialog 101).
inline constexpr DWORD DrivePageHelpIds[] = {
    1000, 1,  // drive label edit box
    1001, 2,  // "Change &Icon..." (drive)
    1004, 3,  // "&Default Icon" (drive)
    1002, 4,  // drive icon preview
    1009, 5,  // disk label edit box
    1005, 6,  // "Change I&con..." (disk)
    1006, 7,  // "D&efault Icon" (disk)
    1007, 8,  // disk icon preview
    0, 0,
};

// "Change string" (dialog 103), the same in DirDress and DocDress.
inline constexpr DWORD StringPickerHelpIds[] = {
    1000, 1,  // file edit box
    1001, 2,  // "&Browse..."
    1002, 3,  // string list
    1006, 4,  // "&Default"
    1, 5,     // "OK"
    2, 6,     // "Cancel"
    0, 0,
};

// Topic files inside QLNHELP.chm, appended to the help file's path.
inline constexpr WCHAR kDirDressTopicFile[] = L"::/DirDress.txt";
inline constexpr WCHAR kDocDressTopicFile[] = L"::/DocDress.txt";
inline constexpr WCHAR kVolDressTopicFile[] = L"::/VolDress.txt";
inline constexpr WCHAR kPickStringTopicFile[] = L"::/PickString.txt";
