#pragma once

// The command groups of the command line and of a second start: a run of groups in
// braces, each starting with a keyword. {Open "file"} opens a viewer on the file;
// {DisableView} keeps the command window from opening its empty viewer. Anything outside
// braces (the program path, blanks) is skipped; there is no nesting and no escape.

#include "platform/cstring.h"

/// What the groups act on: the command window, or a recorder in tests.
class CommandGroupTarget {
public:
    virtual ~CommandGroupTarget() = default;
    /// An "Open" group with its file name (the text between the two double quotes).
    virtual void OpenViewer(const CString& fileName) = 0;
    /// A "DisableView" group.
    virtual void DisableStartViewer() = 0;
};

/// Finds the first `open` at or after `start` in `source` and the first `close` after it;
/// `out` gets the text strictly between them. Returns the index just after `close`, or -1
/// when either is missing (`out` is then left as it was).
int ExtractDelimited(CString& out, const CString& source, int start, char open, char close);

/// Runs one group: of "Open" and "DisableView" (case-sensitive, anywhere in the group) the
/// one that starts earlier wins; a group with neither does nothing.
void ExecuteCommandGroup(const CString& group, CommandGroupTarget& target);

/// Runs every group of `text`, left to right.
void ParseCommandGroups(const CString& text, CommandGroupTarget& target);

/// The longest command text a second start may hand over; the rest is cut off.
constexpr int kMaxHandedOverCommand = 519;
