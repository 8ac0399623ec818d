// The histogram window's tool-bar pictures and the texts of its commands (the part after
// "\n" is the button's tip), joined to the resource chain with the viewer library.

#include "platform/resources/module_resources.h"
#include "viewer/analysis/hist_frame.h"
#include "viewer/core/text_art_bitmap.h"

namespace {

// Images in the order of HistToolImage.
constexpr const char* kArt[12][22] = {
    // outline
    {"                      ", "                      ", "                      ", "  #      nnn          ",
     "  #      n n          ", "  #      n nnn        ", "  #    nnn   n        ", "  #    n     n        ",
     "  #    n     n        ", "  #    n     nnn      ", "  #  nnn       n      ", "  #  n         n      ",
     "  #  n         nnn    ", "  #  n           n    ", "  #nnn           n    ", "  #n             nn   ",
     "  #n                  ", "  #n                  ", "  #n                  ", "  #n################  ",
     "                      ", "                      "},
    // columns
    {"                      ", "                      ", "                      ", "  #      b            ",
     "  #      b            ", "  #      b b          ", "  #    b b b          ", "  #    b b b          ",
     "  #    b b b          ", "  #    b b b b        ", "  #  b b b b b        ", "  #  b b b b b        ",
     "  #  b b b b b b      ", "  #  b b b b b b      ", "  #b b b b b b b      ", "  #b b b b b b b b    ",
     "  #b b b b b b b b    ", "  #b b b b b b b b    ", "  #b b b b b b b b    ", "  ##################  ",
     "                      ", "                      "},
    // palette filling
    {"                      ", "                      ", "                      ", "  #      gg           ",
     "  #      gg           ", "  #      ggyy         ", "  #    ccggyy         ", "  #    ccggyy         ",
     "  #    ccggyy         ", "  #    ccggyyoo       ", "  #  bbccggyyoo       ", "  #  bbccggyyoo       ",
     "  #  bbccggyyoooo     ", "  #  bbccggyyoooo     ", "  #nnbbccggyyoooo     ", "  #nnbbccggyyoooorr   ",
     "  #nnbbccggyyoooorr   ", "  #nnbbccggyyoooorr   ", "  #nnbbccggyyoooorr   ", "  ##################  ",
     "                      ", "                      "},
    // remove spikes
    {"                      ", "                      ", "           r          ", "  #      d r  r    r  ",
     "  #      d r   r  r   ", "  #      d r    rr    ", "  #    d d r    rr    ", "  #    d d r   r  r   ",
     "  #    d d r  r    r  ", "  #    d d r d        ", "  #  d d d r d        ", "  #  d d d r d        ",
     "  #  d d d r d d      ", "  #  d d d r d d      ", "  #d d d d r d d      ", "  #d d d d r d d d    ",
     "  #d d d d r d d d    ", "  #d d d d r d d d    ", "  #d d d d r d d d    ", "  ##################  ",
     "                      ", "                      "},
    // full histogram
    {"                      ", " gggggggggggggggggggg ", " g                  g ", " g#      d          g ",
     " g#      d          g ", " g#      d d        g ", " g#    d d d        g ", " g#    d d d        g ",
     " g#    d d d        g ", " g#    d d d d      g ", " g#  d d d d d      g ", " g#  d d d d d      g ",
     " g#  d d d d d d    g ", " g#  d d d d d d    g ", " g#d d d d d d d    g ", " g#d d d d d d d d  g ",
     " g#d d d d d d d d  g ", " g#d d d d d d d d  g ", " g#d d d d d d d d  g ", " g##################g ",
     " gggggggggggggggggggg ", "                      "},
    // PseudoMin, PseudoMax
    {"                      ", "                      ", "   m  m        m  m   ", "  # mm   d      mm    ",
     "  #   m  d     m      ", "  # mm   d d    mm    ", "  #m  md d d   m  m   ", "  #    d d d          ",
     "  #   md d d   m      ", "  #    d d d d        ", "  #  dmd d d d m      ", "  #  d d d d d        ",
     "  #  dmd d d d m      ", "  #  d d d d d d      ", "  #d dmd d d d m      ", "  #d d d d d d d d    ",
     "  #d dmd d d d m d    ", "  #d d d d d d d d    ", "  #d dmd d d d m d    ", "  ##################  ",
     "                      ", "                      "},
    // real size
    {"   #               #  ", "   #################  ", "   #               #  ", "  #      d            ",
     "  #      d            ", "  #      d d          ", "  #    d d d          ", "  #    d d d          ",
     "  #    d d d          ", "  #    d d d d        ", "  #  d d d d d        ", "  #  d d d d d        ",
     "  #  d d d d d d      ", "  #  d d d d d d      ", "  #d d d d d d d      ", "  #d d d d d d d d    ",
     "  #d d d d d d d d    ", "  #d d d d d d d d    ", "  #d d d d d d d d    ", "  ##################  ",
     "                      ", "                      "},
    // selection mode
    {"                      ", "                      ", "                      ", "  #     cncccc        ",
     "  #     cncccc        ", "  #     cncncc        ", "  #    dcncncc        ", "  #    dcncncc        ",
     "  #    dcncncc        ", "  #    dcncncn        ", "  #  d dcncncn        ", "  #  d dcncncn        ",
     "  #  d dcncncn d      ", "  #  d dcncncn d      ", "  #d d dcncncn d      ", "  #d d dcncncn d d    ",
     "  #d d dcncncn d d    ", "  #d d dcncncn d d    ", "  #d d dcncncn d d    ", "  ##################  ",
     "                      ", "                      "},
    // red
    {"                      ", "                      ", "                      ", "  #      r            ",
     "  #      r            ", "  #      r r          ", "  #    r r r          ", "  #    r r r          ",
     "  #    r r r          ", "  #    r r r r        ", "  #  r r r r r        ", "  #  r r r r r        ",
     "  #  r r r r r r      ", "  #  r r r r r r      ", "  #r r r r r r r      ", "  #r r r r r r r r    ",
     "  #r r r r r r r r    ", "  #r r r r r r r r    ", "  #r r r r r r r r    ", "  ##################  ",
     "                      ", "                      "},
    // green
    {"                      ", "                      ", "                      ", "  #      g            ",
     "  #      g            ", "  #      g g          ", "  #    g g g          ", "  #    g g g          ",
     "  #    g g g          ", "  #    g g g g        ", "  #  g g g g g        ", "  #  g g g g g        ",
     "  #  g g g g g g      ", "  #  g g g g g g      ", "  #g g g g g g g      ", "  #g g g g g g g g    ",
     "  #g g g g g g g g    ", "  #g g g g g g g g    ", "  #g g g g g g g g    ", "  ##################  ",
     "                      ", "                      "},
    // blue
    {"                      ", "                      ", "                      ", "  #      b            ",
     "  #      b            ", "  #      b b          ", "  #    b b b          ", "  #    b b b          ",
     "  #    b b b          ", "  #    b b b b        ", "  #  b b b b b        ", "  #  b b b b b        ",
     "  #  b b b b b b      ", "  #  b b b b b b      ", "  #b b b b b b b      ", "  #b b b b b b b b    ",
     "  #b b b b b b b b    ", "  #b b b b b b b b    ", "  #b b b b b b b b    ", "  ##################  ",
     "                      ", "                      "},
    // all channels
    {"                      ", "                      ", "                      ", "  #      r            ",
     "  #      r         b  ", "  #      r r     bb   ", "  #    r rgr    b     ", "  #    r rgr  bb      ",
     "  #    r rgrgb        ", "  #    rgrgrbr        ", "  #  r rgrbbgr        ", "  #  r rgbgrgr        ",
     "  #  r bbrgrgrgr      ", "  #  rbrgrgrgrgr      ", "  #rbbgrgrgrgrgr      ", "  #b rgrgrgrgrgrgr    ",
     "  #r rgrgrgrgrgrgr    ", "  #rgrgrgrgrgrgrgrg   ", "  #rgrgrgrgrgrgrgrg   ", "  ##################  ",
     "                      ", "                      "},
};
constexpr auto kStrip = viewer_art::MakeStripBmp<12, 22, 22>(kArt);

constexpr platform::ImageResource kBitmaps[] = {{IDB_HIST_TOOLBAR, nullptr, nullptr, nullptr, kStrip}};

constexpr platform::StringEntry kStrings[] = {
    {ID_HIST_RED, "Show the red channel\nRed"},
    {ID_HIST_GREEN, "Show the green channel\nGreen"},
    {ID_HIST_BLUE, "Show the blue channel\nBlue"},
    {ID_HIST_ALL_CHANNELS, "Show all channels\nAll Channels"},
    {ID_HIST_DRAW_COLS, "Draw the counts as columns\nDraw Cols"},
    {ID_HIST_CONTOUR, "Draw the outline of the counts\nDraw histogram contour"},
    {ID_HIST_PALETTE_FILL, "Fill the columns with the palette\nPalette filling"},
    {ID_HIST_REMOVE_SPIKES, "Remove spikes\nRemove spikes"},
    {ID_HIST_FULL, "Full histogram\nFull histogram"},
    {ID_HIST_REAL_SIZE, "Show the whole value range\nReal size"},
    {ID_HIST_SELECTION_MODE, "Select a range with the mouse\nSelection mode"},
    {ID_HIST_PSEUDO, "Show the display range\nPseudoMin, PseudoMax"},
    {IDS_HIST_HELP_PAGE, "2DView_Hist_window.htm"},
    {IDS_HIST_TIP_NO_GRID, "Histogram draw mode without grid"},
    {IDS_HIST_TIP_NORMAL_GRID, "Histogram draw mode with normal grid"},
    {IDS_HIST_TIP_PDF_GRID, "Histogram draw mode with PDF grid"},
    {IDS_HIST_TIP_APPLY, "Apply"},
};

constexpr platform::ModuleResources kResources{
    .module = "PaneKit histogram window", .strings = kStrings, .bitmaps = kBitmaps};
const platform::ModuleResourceRegistration kRegistration(kResources);

}  // namespace
