#pragma once

// The module's entry function, called by the main program's commands.

/// Opens a new "Texture Analysis" dialog (each call another one); it frees itself when closed.
void Texture_Files();
