#pragma once

// Recast, the maker's library of import and conversion tools. It is not part of Tarvenix:
// each launcher opens a window that says so, and returns at once.

class CWnd;

/// Starts Recast's tools; it keeps no state, so a caller makes one for each call.
class ExternFunction {
public:
    /// The import and export tool, owned by `parent` when one is given.
    void LaunchImport(CWnd* parent);
    void LaunchTypeChange();
    void LaunchComplex();
};
