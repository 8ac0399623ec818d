#pragma once

// The class information registry (unit KInterfaces). The forms never hard-code what they
// know about a model class: they send object requests, which the handlers that units
// register per class answer, from the object's class up through its ancestors, with a
// default answer when none does. The unit also keeps the plug-in's glyph image lists and
// the list of the plug-in's main windows (the owners of its forms).
//
// Layout below the global registry root: "KInterfaces" -> one node per class (Name = the
// class name, Data = the class) -> one nameless node per information key (Data = the key,
// TKClassInfoKey).

#include <cstdint>
#include <string>

#include "platform/forms/units.h"
#include "plugin3d/model/core/k_data_branch.h"

class CBitmap;
class TComponent;
class TImageList;

/// The information keys of a class.
enum TKClassInfoKey : std::intptr_t {
    kciHandlers = -1,   ///< children: the request handlers (Data = the function), in registration order
    kciCaption = -2,    ///< the node's Name is the class caption
    kciSubItems = -3,   ///< children: sub-item templates, cloned by request 3
    kciTemplates = -4,  ///< children of TKProject's node: the project templates
    kciGlyph64 = -5,    ///< the node's Tag is the 64 x 64 glyph id
    kciGlyph32 = -6,    ///< the same, 32 x 32
    kciGlyph16 = -7,    ///< the same, 16 x 16
};

/// The kinds of object requests.
enum TKRequestKind : std::int32_t {
    korOpen = 1,          ///< open the object's editor
    korClassCaption = 2,  ///< Argument: a std::string* that receives the class caption
    korSubItems = 3,      ///< Argument: the TKDataBranch* that receives the sub-item templates
    korRename = 4,        ///< Argument: a const std::string* holding the new name
    korCaption = 5,       ///< Argument: a std::string* that receives the object's caption
    korFillBranch = 6,    ///< Argument: the TKDataBranch* to fill for the object
    korGlyph64 = 7,       ///< Argument receives the class's glyph id
    korGlyph32 = 8,
    korGlyph16 = 9,
    korNone = 10,
    korPopupMenu = 11,  ///< Argument: the TPopupMenu* to fill
};

/// An object request; handlers read and write it. Fields that carry references are
/// pointer-sized.
struct TKObjectRequest {
    TClass Class = nullptr;        ///< set by SendObjectRequest
    TObject* Project = nullptr;    ///< the project concerned, or null
    TObject* Object = nullptr;     ///< the object concerned, or null
    TObject* Container = nullptr;  ///< the object that opens the object's editor, or null
    std::int32_t Kind = 0;         ///< TKRequestKind
    std::intptr_t Argument = 0;    ///< in or out value of the kind
    std::intptr_t Spare = 0;       ///< travels with the record; the default does not use it
};

/// A request handler: >= 0 answers the request, a negative result passes it on.
using TKRequestHandler = std::int32_t (*)(TKObjectRequest& request);

/// The key node of a class; null for a null class, and without create for missing nodes
/// (nothing is made then).
TKDataBranch* GetClassInfoBranch(TClass cls, std::intptr_t key, bool create);

/// Adds handler to the class's handlers (once per class); returns its node. Null for a
/// null class or handler and for DefaultObjectRequest itself.
TKDataBranch* RegisterRequestHandler(TClass cls, TKRequestHandler handler);
void UnregisterRequestHandler(TClass cls, TKRequestHandler handler);

/// Sends request for cls: sets request.Class, then asks the handlers of cls and of each
/// ancestor below TObject, the last registered first; the first answer >= 0 is returned.
/// When none answers, DefaultObjectRequest. -1 for a null class or TObject.
std::int32_t SendObjectRequest(TClass cls, TKObjectRequest& request);
/// The default answer to every kind (TKRequestKind); returns 0.
std::int32_t DefaultObjectRequest(TKObjectRequest& request);

void RegisterClassCaption(TClass cls, const std::string& caption);
/// The registered caption, else the class name (empty for null).
std::string GetClassCaption(TClass cls);

/// Stores the glyph id of a size (16, 32 or 64) for a class; other sizes do nothing.
void SetClassGlyph(int size, TClass cls, std::int32_t glyphId);
/// The glyph id of a size for a class; -1 when there is none or for another size.
std::int32_t GetClassGlyphIndex(int size, TClass cls);
/// Adds bitmap to the image list of size (16, 32 or 64); masked: its transparent colour
/// (the bottom-left pixel's) is clear. Returns the new glyph id, -1 for another size, or
/// the image list's negative answer.
std::int32_t AddGlyph(int size, CBitmap* bitmap, bool masked);
/// The image-list index of a glyph; -1 when unknown.
int GlyphImageIndex(std::int32_t glyphId);
/// The glyph image list of size (16, 32 or 64) while the unit runs, else null.
TImageList* GlyphImageList(int size);
/// Loads the bitmap resource resourceName of the plug-in, adds it (AddGlyph) and on
/// success makes it the class's glyph of that size. -1 on any failure.
std::int32_t RegisterClassGlyph(const std::string& resourceName, int size, TClass cls, bool masked);

/// Request 4 for the object's own class: renames it.
void RequestRename(TObject* object, const std::string& newName);
/// Request 5 for the object's own class: its caption; empty for null.
std::string RequestCaption(TObject* object);
/// Request 6 for the object's own class: fills branch for it (project: the project concerned).
void RequestFillBranch(TObject* project, TObject* object, TKDataBranch* branch);
/// Request 3 for cls: its sub-item templates, cloned into branch.
void RequestSubItems(TClass cls, TKDataBranch* branch);

/// Adds a main window to "Windows\MainWnd": by component (found by it, else made and
/// named by the component's name), or without one by handle. Null when both are absent.
TKDataBranch* RegisterMainWindow(TComponent* component, HWND handle);
/// The window of the index-th main window: the component's (made if needed) or the
/// stored handle; null when there is none.
HWND GetMainWindowHandle(int index);
/// Removes the entry of component, or without one the entry of handle.
void UnregisterMainWindow(TComponent* component, HWND handle);

/// Inserts the default items at the top of the popup menu in request.Argument: "Open"
/// (Tag -1), "-", "Cut" (-2), "Copy" (-3), "Paste" (-4). The request is kept by the shared
/// click object; clicking "Open" sends it again as request 1, as long as the objects it
/// names (change objects: their end is heard) still live. The other items do nothing.
void BuildObjectPopupMenu(const TKObjectRequest& request);

/// Unit KInterfaces: the glyph lists and the popup's click object; its end frees them, the
/// glyph table and the "KInterfaces" node.
extern const TUnitInfo kKInterfacesUnit;
