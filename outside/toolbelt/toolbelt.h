#pragma once

// Toolbelt, the maker's library of geometric tools. It is not part of Tarvenix: each entry
// opens a window that says so, and returns at once.

void Subset_Files();
void Rotate_Files();
void Mirror_Files();
void Insert_Files();
void Degrade();
