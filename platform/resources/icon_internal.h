#pragma once

// What an icon handle points to, inside the platform.

#include <QImage>

#include "platform/types.h"

/// An icon: its picture, whose alpha is the mask. Icon resources make one each for the life
/// of the process (LoadIcon); CreateIconFromImage makes ones that DestroyIcon frees.
struct HICON__ {
    QImage image;
};
