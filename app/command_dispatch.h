#pragma once

// Where every command of the command window goes: one table from command id to action, for
// the menu bar's items and the tool-bar pages' buttons alike. The command window's message
// map sends every id of the table's range here; an id without a row has no handler.

#include <functional>
#include <span>

#include "platform/types.h"

class CWnd;
class CGolovaDlg;

/// The entry functions of the tool modules and the outside libraries that commands call.
/// Each opens its tool's own modeless window and returns; the program keeps nothing.
struct ToolEntries {
    std::function<void()> filtr, convolution, calcGradient;          // Kernova
    std::function<void()> coher, fft, phaseFiltr, operationComplex;  // Fringe2
    std::function<void()> texture;                                   // texture
    std::function<void()> evaluteExpression, edgeDetect, createNewFile, threshold, replaceValue, addNoise,
        matrixProcess;                                              // Arithmo
    std::function<void(CWnd* parent)> launchImport;                 // Recast
    std::function<void()> launchTypeChange, launchComplex;          // Recast
    std::function<void()> subset, rotate, mirror, insert, degrade;  // Toolbelt
};

/// The entries the program is linked with.
ToolEntries LinkedToolEntries();
/// Replaces the entries the commands call (tests record with their own); returns the
/// previous ones.
ToolEntries SetToolEntries(const ToolEntries& entries);
const ToolEntries& GetToolEntries();

/// What a command does to the command window it reached.
using CommandAction = void (*)(CGolovaDlg& window, UINT id);

struct CommandRow {
    UINT id;
    CommandAction action;
};

/// The lowest and highest id of the table.
constexpr UINT kFirstCommandId = 32771;
constexpr UINT kLastCommandId = 32923;

/// Every command, the menu bar's first, then the tool-bar ids that differ.
std::span<const CommandRow> CommandTable();
/// The row of `id`; null when the id has no handler.
const CommandRow* FindCommandRow(UINT id);
