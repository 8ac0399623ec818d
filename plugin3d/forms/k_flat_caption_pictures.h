#pragma once

// The pictures of the caption bar's standard buttons, drawn for this project: one strip of
// 35 pictures of 16 x 16 (560 x 16, a BMP file), seven per command from Close to the
// keep-on-top pin in the order Disable, FreeOut, FreeIn, DownOut, DownIn, FixedOut, FixedIn.
// The plug-in's resource record keeps it as the bitmap "KFLATCAPTIONSHAREIMAGES".

#include <array>
#include <span>

std::span<const unsigned char> FlatCaptionShareImagesBmp();
