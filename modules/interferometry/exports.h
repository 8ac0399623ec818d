#pragma once

// The module's entry functions. The main program binds the first four; the derivative and
// the phase unwrapping entries are there for other hosts. Each opens one tool as a
// modeless dialog that frees itself when closed (every call another one), and returns at once.

void Coher_Files();
void FFT_Files();
void PhaseFiltr_Files();
void Operation_Complex_Files();
void Diff_Files();
void PhaseUnwrap_Files();
