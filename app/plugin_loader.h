#pragma once

// The 3D plug-in: loaded by file name on the first "3D Viewer" command, shown on every
// one, hidden and unloaded at exit. Nothing else passes between it and the program.

/// Loads the plug-in and binds ShowForms (ordinal 1) and HideForms (ordinal 2); a missing
/// export stays unbound. 1 when the library was loaded, 0 otherwise.
int Load3DPlugin();

/// The "3D Viewer" command: loads the plug-in when it is not loaded (so a failed load is
/// tried again next time), then calls ShowForms when bound. Silent on every failure.
void Show3DViewer();

/// The plug-in's part of the exit question: HideForms when bound, which asks the user about
/// the open 3D project. false when the user chose to keep it (the exit stops); true when the
/// plug-in is hidden, not loaded, or its entry fails.
bool Hide3DPlugin();

/// The plug-in's part of the exit: HideForms when bound and not called by Hide3DPlugin since
/// the last ShowForms, then the unload. Does nothing when the plug-in was never loaded.
/// Silent on every failure.
void Unload3DPlugin();

/// Whether the plug-in library is loaded now.
bool Is3DPluginLoaded();

/// The file the loader looks for ("Kelvora3Dl.dll", found next to the program). Tests
/// point it at plug-ins of their own.
void Set3DPluginFileName(const char* fileName);
