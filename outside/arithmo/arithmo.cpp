#include "outside/arithmo/arithmo.h"

#include "outside/basecore/outside_tool_dlg.h"

namespace {
constexpr const char* kLibrary = "Arithmo";
}

void EvaluteExpression_Files()
{
    ShowOutsideTool(kLibrary, "File Calculator");
}

void EdgeDetect_Files()
{
    ShowOutsideTool(kLibrary, "Edge Detection");
}

void CreateNewFile_Files()
{
    ShowOutsideTool(kLibrary, "Create New File");
}

void Threshold_Files()
{
    ShowOutsideTool(kLibrary, "Threshold");
}

void ReplaceValue_Files()
{
    ShowOutsideTool(kLibrary, "Replace Values");
}

void AddNoise_Files()
{
    ShowOutsideTool(kLibrary, "Add Noise");
}

void MatrixProcess_Files()
{
    ShowOutsideTool(kLibrary, "Matrix Operations");
}
