#pragma once

// The module's entry functions, called by the main program's commands. Each opens one
// tool as a modeless dialog that frees itself when closed, and returns at once.

void Coher_Files();
void FFT_Files();
void PhaseFiltr_Files();
void Operation_Complex_Files();
