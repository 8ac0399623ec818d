#include "platform/forms/string_list.h"

#include "platform/forms/exceptions.h"
#include "platform/forms/format.h"

IMPLEMENT_TCLASS(TStringList, TPersistent)

void TStringList::CheckIndex(int index, int limit) const
{
    if (index < 0 || index >= limit) throw EInvalidOperation(Format("List index out of bounds (%d)", index));
}

const std::string& TStringList::Get(int index) const
{
    CheckIndex(index, Count());
    return m_lines[static_cast<std::size_t>(index)];
}

void TStringList::Put(int index, std::string line)
{
    CheckIndex(index, Count());
    m_lines[static_cast<std::size_t>(index)] = std::move(line);
}

int TStringList::Add(std::string line)
{
    m_lines.push_back(std::move(line));
    return Count() - 1;
}

void TStringList::Insert(int index, std::string line)
{
    CheckIndex(index, Count() + 1);
    m_lines.insert(m_lines.begin() + index, std::move(line));
}

void TStringList::Delete(int index)
{
    CheckIndex(index, Count());
    m_lines.erase(m_lines.begin() + index);
}

int TStringList::IndexOf(std::string_view text) const
{
    for (int i = 0; i < Count(); ++i)
        if (SameText(m_lines[static_cast<std::size_t>(i)], text)) return i;
    return -1;
}

std::string TStringList::Text() const
{
    std::string text;
    for (const std::string& line : m_lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void TStringList::SetText(std::string_view text)
{
    m_lines.clear();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            m_lines.emplace_back(text.substr(start));
            break;
        }
        m_lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
}

std::string TStringList::Name(int index) const
{
    const std::string& line = Get(index);
    return line.substr(0, line.find('='));
}

std::string TStringList::ValueFromIndex(int index) const
{
    const std::string& line = Get(index);
    const std::size_t eq = line.find('=');
    return eq == std::string::npos ? std::string() : line.substr(eq + 1);
}

int TStringList::IndexOfName(std::string_view name) const
{
    for (int i = 0; i < Count(); ++i) {
        const std::string& line = m_lines[static_cast<std::size_t>(i)];
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos && SameText(std::string_view(line).substr(0, eq), name)) return i;
    }
    return -1;
}

std::string TStringList::Value(std::string_view name) const
{
    const int i = IndexOfName(name);
    return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStringList::SetValue(std::string_view name, std::string_view value)
{
    const int i = IndexOfName(name);
    if (value.empty()) {
        if (i >= 0) Delete(i);
        return;
    }
    std::string line = std::string(name) + "=" + std::string(value);
    if (i >= 0)
        m_lines[static_cast<std::size_t>(i)] = std::move(line);
    else
        m_lines.push_back(std::move(line));
}

void TStringList::Assign(TPersistent* source)
{
    if (auto* list = ObjectAs<TStringList>(source)) {
        if (list != this) m_lines = list->m_lines;
        return;
    }
    TPersistent::Assign(source);
}
