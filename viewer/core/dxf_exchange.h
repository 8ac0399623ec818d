#pragma once

// Vector overlays to and from DXF drawings.

class CVectorImage;

/// Writes a minimal AC1006 drawing: one DXF layer per overlay layer (named by its index),
/// LINE entities for the segments of the polylines and POINT entities for the points, of every
/// layer (layer -1) or of one. `width` and `height` go to $LIMMAX. Line ends are CR LF and
/// numbers are written in the "C" form whatever the locale. The file is complete or absent:
/// 1 after writing, 0 when it cannot be written.
int VectorToDXF(const char* path, CVectorImage* image, int width, int height, int layer);

/// Reads the POINT and LINE entities of a drawing's ENTITIES section into layer `layer` of an
/// open overlay (the layer must exist); a LINE becomes a 2-vertex polyline. Group code and
/// value lines are read as pairs (CR LF or LF line ends, any letter case); an entity with a
/// missing or malformed coordinate is left out. The file is never changed. 1 when the file
/// has an ENTITIES section; 0 when it has none, cannot be read, or the overlay cannot take it.
int DXFToVector(CVectorImage* image, const char* path, int layer);
