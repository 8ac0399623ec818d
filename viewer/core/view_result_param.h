#pragma once

// The records through which any module asks for a viewer: one file and how to show it, and
// a counted list of them. Whoever fills one allocates it on the heap and hands it over to
// one of the functions below, which open the viewers through the view services
// (raster_view_services.h) that the viewer frame fills.

#include "platform/cstring.h"
#include "platform/types.h"

class CWnd;

/// Names a file and how a viewer shows it. The record owns neither `parent` nor
/// `frameRect`; they only need to live while the viewer is being created.
struct ViewResultParam {
    /// Receives the viewer's WM_VIEWER notifications about this file (posted); null: nobody.
    CWnd* parent = nullptr;
    /// Put into the wParam of every notification to `parent`.
    int notifyId = 0;
    /// Part of a complex layer shown: 0 amplitude, 1 phase, 2 real part, 3 imaginary part.
    int component = 0;
    /// The two parameters of the contrast stretch and its method, handed to the stretch
    /// calculator: method 3 reproduces an explicit range, 0 with 0.0, 0.0 is a new result's
    /// default, -1 with -1.0, -1.0 asks for the stretch after a component change.
    double stretchLow = 0.0;
    double stretchHigh = 0.0;
    int stretchMethod = 0;
    /// Full path of the layer file; empty: the viewer opens with no layer.
    CString fileName;
    /// Initial frame rectangle in screen coordinates; null: the default placement.
    const RECT* frameRect = nullptr;
};

/// A counted list of ViewResultParam records, owned as one array.
class ViewMultiResultParam {
public:
    /// More records than any desktop could show viewers for; larger lists are refused.
    static constexpr int kMaxRecords = 1 << 16;

    ViewMultiResultParam() = default;
    ~ViewMultiResultParam();
    ViewMultiResultParam(const ViewMultiResultParam&) = delete;
    ViewMultiResultParam& operator=(const ViewMultiResultParam&) = delete;

    /// Frees the current records, then makes `n` default records and returns 1. For a
    /// negative `n`, one above kMaxRecords or a failed allocation: 0, with no records.
    int MakeParam(int n);
    /// The i-th record; null for a negative index or one at or after `count`.
    ViewResultParam* operator[](int i);
    const ViewResultParam* operator[](int i) const;

    /// Number of records; 0 when empty.
    int count = 0;
    /// The records, one array of `count`; null when empty.
    ViewResultParam* records = nullptr;

private:
    void Release();
};

/// Completion routine for jobs: opens a viewer on the ViewResultParam* `param`, then
/// deletes the record whether or not the viewer could be made. User-interface thread.
void ViewResultFunction(void* param);
/// Opens one viewer per record of the ViewMultiResultParam* `param`, in index order, then
/// deletes the list.
void ViewMultiResultFunction(void* param);

/// Shows a file the user has just saved and asked to view: a layer file (".rdp", any case)
/// in a new viewer, whatever the desktop would do with it; any other file with the
/// desktop's handler. `owner` is the window that asked.
void ViewSavedFile(HWND owner, const char* path);
