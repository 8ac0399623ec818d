#pragma once

// Window and number-text helpers of the 3D project that the plug-in's forms use: placing a
// form on the screen, the stacking depth a form saves with its place, finding a form by its
// window, and number texts that always use '.' (they touch no process-wide setting, so a job
// may format numbers at the same time).

#include <string>

#include "platform/types.h"

class TForm;

/// Places form: width or height <= 0 takes the form's own. Horizontally a form as wide as
/// the screen or wider goes to 0, a negative left centres it, and one that would reach past
/// the right edge is moved in; vertically the same. Then it is made topmost or not (without
/// moving, sizing or activating), given the rectangle and shown or hidden.
void PlaceFormOnScreen(TForm* form, int left, int top, int width, int height, bool stayOnTop, bool visible);

/// The stacking depth of a top-level window: a topmost window answers minus the number of
/// windows from it to the bottom of the stacking order, any other the number from it to the
/// top (each counting itself), so smaller values lie higher. 0 only when there is no window.
int WindowZDepth(HWND window);

/// The form of the application's form list whose window is window; null when none.
TForm* FindFormByHandle(HWND window);

/// An integer text ('.' as decimal mark); false for an empty text or one that is not a number.
bool StrToIntDot(const std::string& text, int& value);
/// A real-number text ('.' as decimal mark); false for an empty text or one that is not a number.
bool StrToFloatDot(const std::string& text, double& value);
/// value as "%*.*f" (width, precision) with '.', without blanks around it, trailing zeros or
/// a point left at the end: 12.5 gives "12.5", 3 gives "3", 0 gives "0".
void FloatToStrDot(int width, int precision, std::string& text, double value);

/// When savedFolder is not empty, is shorter than name and begins it (letters compared
/// without case), and a file exists where name lies under currentFolder instead: name
/// becomes that file and the answer is true. Else false, name unchanged.
bool RelocateFileName(const std::string& currentFolder, const std::string& savedFolder, std::string& name);
