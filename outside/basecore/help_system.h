#pragma once

// The suite's help: HTML pages in one folder, opened with the desktop's handler.

#include "platform/cstring.h"

class CWnd;

/// The folder the help pages are read from: the folder of the preferences' "HelpFile"
/// setting ("\Settings\General"; a folder, or a file whose folder holds the pages), else
/// the "help" folder beside the program.
CString GetHelpFolder();

/// Opens help page `page` (a name such as "default.htm", possibly with a sub-folder;
/// null or empty: "default.htm") of the help folder. A missing page is told in a message
/// box owned by `wnd`. Nonzero when the page was handed to the desktop.
int CallHelpSystem(CWnd* wnd, const char* page);
