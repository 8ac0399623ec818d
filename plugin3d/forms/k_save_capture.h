#pragma once

// What a project file keeps of a form (its place, its stacking depth, the state of its
// controls) is taken on the interface thread right before a save's job starts: the job
// writes what was taken and never asks a window itself. A form that saves such a record
// adds its capture when it is made and removes it before it goes.

#include <functional>

/// Adds (or replaces) the capture of key; called on the interface thread.
void AddSaveCapture(const void* key, std::function<void()> capture);
/// Removes the capture of key; nothing when it has none.
void RemoveSaveCapture(const void* key);
/// Runs every capture, in the order they were added; on the interface thread only.
void CaptureFormsForSave();
