#include "app/command_syntax.h"

int ExtractDelimited(CString& out, const CString& source, int start, char open, char close)
{
    if (start < 0 || start > source.GetLength()) return -1;
    const int first = source.Find(open, start);
    if (first < 0) return -1;
    const int last = source.Find(close, first + 1);
    if (last < 0) return -1;
    out = source.Mid(first + 1, last - first - 1);
    return last + 1;
}

void ExecuteCommandGroup(const CString& group, CommandGroupTarget& target)
{
    const int open = group.Find("Open");
    const int disable = group.Find("DisableView");
    if (open < 0 && disable < 0) return;
    if (open >= 0 && (disable < 0 || open < disable)) {
        CString name;
        // Only the first quoted name counts: one group opens at most one file.
        if (ExtractDelimited(name, group, open, '"', '"') >= 0) target.OpenViewer(name);
    } else {
        target.DisableStartViewer();
    }
}

void ParseCommandGroups(const CString& text, CommandGroupTarget& target)
{
    int position = 0;
    for (;;) {
        CString group;
        const int next = ExtractDelimited(group, text, position, '{', '}');
        if (next < 0) break;
        ExecuteCommandGroup(group, target);
        position = next;
    }
}
