#pragma once

// Where the model must reach the forms (a component's window, the administrator's project
// loader), it calls through this one record of function pointers, which the forms fill at
// start-up and clear at their end. The model includes no form code; an empty entry means
// the forms are not there, and the call does nothing.

#include <string>

#include "platform/types.h"

class TComponent;

struct TKFormLinks {
    /// The window handle of a form or control component, its window made if needed; null
    /// for a component that has no window.
    HWND (*componentWindow)(TComponent* component) = nullptr;
    /// The administrator's LoadProjectFromFile: loads the file as the open project.
    void (*loadProjectFromFile)(const std::string& fileName) = nullptr;
};

/// Installs the forms' record (an empty record clears it).
void SetFormLinks(const TKFormLinks& links);
/// A copy of the record the forms installed.
TKFormLinks FormLinks();
