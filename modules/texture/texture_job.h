#pragma once

// The texture jobs: one statistic of the levels in a square window around every pixel,
// written as a float layer of the input's size whose outer frame holds the border value.

#include <cstdint>

#include "modules/texture/texture_statistics.h"
#include "outside/basecore/cmeter_info.h"
#include "platform/cstring.h"

class CRDPLayer;

/// The record of one job, made by the dialog and owned by the job.
struct STextureParam {
    CString input;  ///< input and output come first: the tool frame relies on it
    CString output;
    int statistic = 0;           ///< index in the list of the job's dimensionality
    CString statisticName;       ///< the list text, used as a task name
    int window = 3;              ///< odd, 3 to 21
    std::uint8_t direction = 0;  ///< co-occurrence: 0 "0°", 1 "45°", 2 "90°", 3 "135°"
    std::uint8_t distance = 1;   ///< co-occurrence: the low byte of the dialog's distance
    int preTrimming = 0;         ///< nonzero: the trimmed level range
    CString errorCaption;        ///< "Texture Analisis: Error"
};

/// First-order statistic of every window into record->output. Owns and frees `record`.
void Texture_Analis_First(void* record, CMeterInfo* meter);
/// Co-occurrence measure of every window into record->output. Owns and frees `record`.
void Texture_Analis_Second(void* record, CMeterInfo* meter);

/// The level range of an open input: its stored minimum and maximum, or with
/// `preTrimming` the range its histogram gives with the outer half percent cut off.
LevelRange TextureLevelRange(const CRDPLayer& in, bool preTrimming);

/// The first-order "Mean" border: the file's mean as a level (untrimmed minimum, the range's
/// scale), at most 255; 0 for an empty range.
double TextureMeanBorder(const CRDPLayer& in, const LevelRange& range);
