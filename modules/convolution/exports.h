#pragma once

// The module's entry functions, called by the main program's commands.

/// Opens a new "Noise Filtering" dialog (each call another one); it frees itself when closed.
void Filtr_Files();

/// Opens a new "Convolution" dialog; it frees itself when closed.
void Convolution_Files();

/// Opens a new "Derivation" dialog; it frees itself when closed.
void CalcGradient_Files();
