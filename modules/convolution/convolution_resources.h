#pragma once

// Ids of the convolution tool's resources: the convolution dialog, the kernel editor and the
// new-mask dialog, their controls, pictures, menu and texts.

#include "platform/types.h"
#include "platform/window/messages.h"

constexpr UINT IDD_CONVOLUTION = 806;
constexpr UINT IDD_USER_MASK = 802;
constexpr UINT IDD_NEW_MASK = 841;

/// Four 16 x 16 pictures of the library tree: folder, open folder, mask, chosen mask (white
/// is clear).
constexpr UINT IDB_MASK_TREE = 838;
constexpr UINT IDI_NEW_MASK = 842;
constexpr UINT IDI_ADD_MASK = 130;
constexpr UINT IDI_REMOVE_MASK = 129;
constexpr UINT IDI_EDIT_MASK = 131;
/// The editor's popup: "Grid" with Copy and Paste.
constexpr UINT IDR_MASK_GRID_MENU = 843;
constexpr UINT ID_MASK_GRID_COPY = 40001;
constexpr UINT ID_MASK_GRID_PASTE = 40002;

// The convolution dialog.
constexpr int IDC_CONV_EXECUTE = 8036;
constexpr int IDC_CONV_HELP = 8041;
constexpr int IDC_CONV_INPUT = 8042;
constexpr int IDC_CONV_OUTPUT = 8043;
constexpr int IDC_CONV_ANGLE_GROUP = 8059;
constexpr int IDC_CONV_ANGLE = 8061;
constexpr int IDC_CONV_PREVIEW = 8121;
constexpr int IDC_CONV_SLIDER = 8128;
constexpr int IDC_CONV_LABEL_270 = 8129;
constexpr int IDC_CONV_LABEL_180 = 8131;
constexpr int IDC_CONV_LABEL_90 = 8133;
constexpr int IDC_CONV_LABEL_0 = 8135;
constexpr int IDC_CONV_TREE = 8169;
constexpr int IDC_CONV_NEW_MASK = 8191;
constexpr int IDC_CONV_ADD_MASK = 8194;
constexpr int IDC_CONV_REMOVE_MASK = 8197;
constexpr int IDC_CONV_EDIT_MASK = 8199;
constexpr int IDC_CONV_STATUS = 8225;

// The kernel editor.
constexpr int IDC_MASK_ANGLE_LABEL = 8063;
constexpr int IDC_MASK_DESCRIPTION = 8193;
constexpr int IDC_MASK_CAPTION = 8196;
constexpr int IDC_MASK_GRID_PLACE = 8201;
constexpr int IDC_MASK_VIEW_X = 8203;
constexpr int IDC_MASK_VIEW_Y = 8204;
constexpr int IDC_MASK_VIEW_RESULT = 8206;
constexpr int IDC_MASK_TYPE_LABEL = 8212;
constexpr int IDC_MASK_CAPTION_LABEL = 8214;
constexpr int IDC_MASK_DESCRIPTION_LABEL = 8216;
constexpr int IDC_MASK_FRAME_LEFT = 8218;
constexpr int IDC_MASK_FRAME_RIGHT = 8220;
constexpr int IDC_MASK_SAVE_AS = 8222;
constexpr int IDC_MASK_HELP = 8224;
/// The grid the editor creates over the placeholder.
constexpr int IDC_MASK_GRID = 5;

// The new-mask dialog.
constexpr int IDC_NEW_MASK_WIDTH = 8187;
constexpr int IDC_NEW_MASK_HEIGHT = 8189;
constexpr int IDC_NEW_MASK_SIMPLE = 8208;
constexpr int IDC_NEW_MASK_COMPOUND = 8210;

/// The preview's and the editor's messages to the convolution dialog (WM_KERNEL_PREVIEW).
constexpr WPARAM kMaskCaptionChanged = 4;  ///< lParam: tree item, 0 after Save As
constexpr WPARAM kMaskSaved = 5;           ///< lParam 0: run the preview again
constexpr WPARAM kMaskCreated = 6;         ///< lParam: const CString* path, valid during the call
/// The editor to itself: make the working copy (wParam 0).
constexpr UINT WM_MASK_MAKE_WORKING_COPY = WM_USER + 100;

enum : UINT {
    IDS_CONV_HELP_PAGE = 8420,    ///< "Processing_convolution.HTM"
    IDS_CONV_SELECT_MASK = 8421,  ///< "\n\n\nSelect input file and mask."
    IDS_CONV_CALCULATING = 8422,  ///< "Preview calculation..."
    IDS_CONV_NO_OUTPUT = 8423,
    IDS_CONV_MUST_SELECT = 8424,  ///< "You must select a mask !"
    IDS_CONV_DELETE_LINK = 8425,
    IDS_CONV_DELETE_MASK = 8426,
    IDS_CONV_DELETE_FAILED = 8427,
    IDS_CONV_REGISTRY_FAILED = 8428,
    IDS_CONV_NOT_RDP = 8429,  ///< " - isn't a valid rdp file!"
    IDS_CONV_GRID_FAILED = 8430,
    IDS_CONV_EDIT_FAILED = 8431,
    IDS_CONV_NEW_TIP = 8432,  ///< then Add, Remove, Edit
    IDS_CONV_NO_LIBRARY = 8436,
    IDS_MASK_HELP_PAGE = 8440,
    IDS_MASK_SAVE_QUESTION = 8441,
    IDS_MASK_FILTER = 8442,
    IDS_MASK_BAD_SIZE = 8443,
    IDS_MASK_ODD_SIZE = 8444,
    IDS_MASK_TOO_LARGE = 8445,
};
