#pragma once

// Resource ids of the preferences dialog and the user action list editor: their templates,
// controls, strings and icons. The record lives in preferences_resources.cpp.

#include "platform/types.h"

constexpr UINT IDD_PREFERENCES = 135;
constexpr UINT IDD_ACTION_LIST = 143;
constexpr UINT IDD_NEW_ACTION = 144;

constexpr UINT IDS_SELECT_TEMP_FOLDER = 105;
constexpr UINT IDS_SELECT_WORK_FOLDER = 106;
constexpr UINT IDS_HELP_FILES = 107;
constexpr UINT IDS_ACTION_ROOT_KEY = 115;
constexpr UINT IDS_ACTION_SETTINGS_KEY = 116;
constexpr UINT IDS_ACTION_INTERFACE_KEY = 117;
constexpr UINT IDS_SELECT_PALETTE_FOLDER = 118;
constexpr UINT IDS_SELECT_KERNELS_FOLDER = 121;

constexpr UINT IDI_PREF_TEMP = 145;
constexpr UINT IDI_PREF_PALETTE = 146;
constexpr UINT IDI_PREF_HELP = 147;
constexpr UINT IDI_BROWSE_FOLDER = 150;
constexpr UINT IDI_PREF_KERNELS = 151;

// Preferences.
constexpr int IDC_PREF_TEMP_DIR = 1015;
constexpr int IDC_PREF_TEMP_BROWSE = 1016;
constexpr int IDC_PREF_HELP_FILE = 1017;
constexpr int IDC_PREF_HELP_BROWSE = 1018;
constexpr int IDC_PREF_WORK_BROWSE = 1020;
constexpr int IDC_PREF_PALETTE_BROWSE = 1021;
constexpr int IDC_PREF_PALETTE_DIR = 1022;
constexpr int IDC_PREF_KERNELS_BROWSE = 1023;
constexpr int IDC_PREF_KERNELS_DIR = 1024;
constexpr int IDC_PREF_WORK_DIR = 1067;

// The action list editor.
constexpr int IDC_ACTION_NAME = 1000;
constexpr int IDC_ACTION_TREE = 1050;
constexpr int IDC_ACTION_TEXT = 1051;
constexpr int IDC_ACTION_DESCRIPTION = 1052;
constexpr int IDC_ACTION_PROVIDER = 1053;
constexpr int IDC_ACTION_MODIFIER = 1054;
constexpr int IDC_ACTION_TYPE = 1055;
constexpr int IDC_ACTION_NEW = 1057;
constexpr int IDC_ACTION_SAVE = 1065;
/// The six kinds of the new-action dialog, in kind order 0 to 5.
constexpr int IDC_NEW_ACTION_KIND_FIRST = 1059;
constexpr int IDC_NEW_ACTION_KIND_LAST = 1064;

/// The instance handle of the record; using it keeps the record linked into the program
/// (it joins the resource chain when the program starts).
HINSTANCE PreferencesResourcesInstance();
