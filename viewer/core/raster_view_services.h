#pragma once

// What the raster view asks of the windows around it: the profile window, the statistics
// dialog of a selection and the opening of a saved part in a new viewer. Each goes through
// one replaceable function, so that the view does not depend on the analysis windows and
// tests can watch what it asks for.

#include <memory>
#include <vector>

#include "platform/cstring.h"
#include "outside/basecore/rect_t.h"
#include "platform/geometry.h"
#include "platform/types.h"

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
    /// Opens a saved file in a new viewer; takes ownership of the record.
    void (*openResult)(ViewResultParam* param) = nullptr;
};

/// The functions in use; a null member makes the view do without (the record is freed).
RasterViewServices& GetRasterViewServices();
