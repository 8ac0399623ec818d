#pragma once

// Arithmo, the maker's library of arithmetic tools. It is not part of Tarvenix: each entry
// opens a window that says so, and returns at once.

void EvaluteExpression_Files();
void EdgeDetect_Files();
void CreateNewFile_Files();
void Threshold_Files();
void ReplaceValue_Files();
void AddNoise_Files();
void MatrixProcess_Files();
