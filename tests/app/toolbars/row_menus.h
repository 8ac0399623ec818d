#pragma once

// The program's three menus as the rows read them (the menu bar 130, the tool-bar pages
// 136, the page names 137), registered for the tests of the rows; the ids the tests use.

#include "platform/types.h"

namespace rowtest {

constexpr UINT ID_FILE_OPEN = 32777;
constexpr UINT ID_PROC_FILTRATION = 32903;
constexpr UINT ID_TB_VIEW = 32843;
constexpr UINT ID_PAGE_FILES = 32831;
constexpr UINT ID_PAGE_PROCESSING = 32833;
constexpr UINT ID_PAGE_ANALYSE = 32832;
constexpr UINT ID_PAGE_UTIL = 32834;

}  // namespace rowtest
