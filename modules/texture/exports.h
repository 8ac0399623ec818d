#pragma once

// The module's entry function, called by the main program's commands.

/// Opens a new "Texture Analysis" dialog (each call another one); it frees itself when closed.
void Texture_Files();

/// Tells the splash window, when one is up, that the module is loading; true when it was
/// told. Runs once when the module is loaded.
bool AnnounceTextureModule();
