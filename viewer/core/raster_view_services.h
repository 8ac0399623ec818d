#pragma once

// What the views and the view window ask of the windows around them: the profile window, the
// statistics dialog of a selection, the dialogs of a selection's figures and of an object's
// properties, the choice of a composite's channel files, and a new viewer on a file. Each
// goes through one replaceable function, which the analysis windows and the viewer frame
// install when the library is loaded, so that the core depends on neither and tests can
// watch what it asks for.

#include <memory>
#include <vector>

#include "platform/cstring.h"
#include "outside/basecore/rect_t.h"
#include "platform/geometry.h"
#include "platform/types.h"

class CPropertyList;
class CSelObj;
class CWnd;
class CRDPLayer;
struct ViewResultParam;

/// A profile the view wants shown: values along one row or column, with one logical point
/// per value when a coordinate law was given.
struct RasterProfileRequest {
    CWnd* parent = nullptr;
    CString caption;
    std::vector<double> values;
    std::vector<CPointT<double>> points;  ///< empty without a law
    COLORREF colour = 0;
    /// Further curves in the same window (the channels of a composite), each with the text
    /// shown, without an owner, when the window refuses it; the next curve still follows.
    struct Curve {
        std::vector<double> values;
        COLORREF colour = 0;
        CString failText;
    };
    std::vector<Curve> more;
};

/// Statistics of a selection the view wants shown: rows and type of the shown layer and the
/// region (owned by the request's receiver after the call).
struct RasterRegionStatisticsRequest {
    CWnd* parent = nullptr;
    CWnd* histogramSource = nullptr;
    void** rows = nullptr;
    /// Keeps the rows readable for as long as a computation holds it, whatever happens to
    /// the view (a viewer closed while the statistics are counted).
    std::shared_ptr<const void> keepAlive;
    int typeCode = 0;
    int width = 0;
    int height = 0;
    CString sourcePath;  ///< the layer file, for a computation that opens it itself
    HRGN region = nullptr;
};

struct RasterViewServices {
    /// Shows a profile; FALSE when the profile window refuses the values.
    BOOL (*showProfile)(const RasterProfileRequest& request) = nullptr;
    /// Computes and shows the statistics of a selection.
    void (*showRegionStatistics)(RasterRegionStatisticsRequest& request) = nullptr;
    /// Opens a new viewer on the record, which stays the caller's; false when none was made.
    bool (*openViewer)(const ViewResultParam& param) = nullptr;
    /// Makes the figures object of a selection of `type` 1 (rectangle) or 2 (free region),
    /// whose dialog shows them; null for any other type.
    std::unique_ptr<CSelObj> (*makeSelectionInfo)(int type) = nullptr;
    /// Makes an empty property list whose window opens on demand.
    std::unique_ptr<CPropertyList> (*makePropertyList)() = nullptr;
    /// Asks, modally over `parent`, for the files that a composite's red, green and blue
    /// channels are saved to; false when the user cancels or names none.
    bool (*askChannelFiles)(CWnd* parent, CString (&files)[3]) = nullptr;
};

/// The functions in use; a null member makes the view do without.
RasterViewServices& GetRasterViewServices();
