#pragma once

// What a project load could not bring back and the user must hear of: the layer files its
// surfaces name that are not where the project says (nor beside the moved project). The
// load notes them; the administrator takes the list when the load has ended and says so.

#include <string>
#include <vector>

/// Notes path (once) as a layer file the load could not find.
void NoteMissingLayerFile(const std::string& path);
/// The files noted since the last call, in the order they were noted; the list is emptied.
std::vector<std::string> TakeMissingLayerFiles();
