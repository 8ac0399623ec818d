#pragma once

// Where the model must reach the forms (a component's window, the administrator's project
// loader), it calls through this one record of function pointers, which the forms fill at
// start-up and clear at their end. The model includes no form code; an empty entry means
// the forms are not there, and the call does nothing.

#include <string>

#include "platform/types.h"

class TComponent;
class TKDrawingSystem3D;
class TKObjectsStream;

struct TKFormLinks {
    /// The window handle of a form or control component, its window made if needed; null
    /// for a component that has no window.
    HWND (*componentWindow)(TComponent* component) = nullptr;
    /// The administrator's LoadProjectFromFile: loads the file as the open project.
    void (*loadProjectFromFile)(const std::string& fileName) = nullptr;

    // A drawing system's viewer window. A drawing system made while createViewer is set
    // keeps the viewer and the freeViewer it was made with; the other two are asked when it
    // saves or loads.
    /// Makes the (hidden) viewer window of drawingSystem and attaches it; null for none.
    TComponent* (*createViewer)(TKDrawingSystem3D* drawingSystem) = nullptr;
    /// Detaches the viewer from its drawing system and frees it.
    void (*freeViewer)(TComponent* viewer) = nullptr;
    /// Writes (or, on a counting stream, counts) the viewer's part of its drawing system's
    /// record; returns its bytes.
    int (*saveViewer)(TComponent* viewer, TKObjectsStream* stream) = nullptr;
    /// Reads what saveViewer wrote and places the window; returns the bytes read.
    int (*loadViewer)(TComponent* viewer, TKObjectsStream* stream) = nullptr;
};

/// Installs the forms' record (an empty record clears it).
void SetFormLinks(const TKFormLinks& links);
/// A copy of the record the forms installed.
TKFormLinks FormLinks();
