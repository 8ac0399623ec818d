#pragma once

// TStringList: an ordered list of text lines. Its Text joins the lines with CR LF; lines of
// the form name=value are looked up by name (compared without regard to ASCII case).

#include <string>
#include <string_view>
#include <vector>

#include "platform/forms/object.h"

class PLATFORM_API TStringList : public TPersistent {
    DECLARE_TCLASS(TStringList)

    int Count() const { return static_cast<int>(m_lines.size()); }
    /// Line index; an index outside the list raises EInvalidOperation "List index out of
    /// bounds (<index>)", here and in the other members that take an index.
    const std::string& Get(int index) const;
    void Put(int index, std::string line);
    const std::string& operator[](int index) const { return Get(index); }

    /// Appends a line; returns its index.
    int Add(std::string line);
    /// Inserts a line before index (0..Count).
    void Insert(int index, std::string line);
    void Delete(int index);
    void Clear() { m_lines.clear(); }
    /// The first line equal to text (ASCII case ignored), -1 when none.
    int IndexOf(std::string_view text) const;

    /// The lines, each followed by CR LF.
    std::string Text() const;
    /// Replaces the lines with those of text, split at CR LF, LF or CR; a final line end
    /// makes no empty line.
    void SetText(std::string_view text);

    /// The part of line index before its first "=" (the whole line when there is none).
    std::string Name(int index) const;
    /// The part of line index after its first "=" (empty when there is none).
    std::string ValueFromIndex(int index) const;
    /// The first line whose name is name, -1 when none.
    int IndexOfName(std::string_view name) const;
    /// The value of the first line named name; empty when there is none.
    std::string Value(std::string_view name) const;
    /// Sets the value of the first line named name, appending "name=value" when there is
    /// none; an empty value deletes the line.
    void SetValue(std::string_view name, std::string_view value);

    const std::vector<std::string>& Lines() const { return m_lines; }

    /// Copies the lines of another TStringList.
    void Assign(TPersistent* source) override;

private:
    void CheckIndex(int index, int limit) const;
    std::vector<std::string> m_lines;
};
