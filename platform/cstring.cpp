#include "platform/cstring.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace {

std::string VFormat(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed <= 0) return {};
    std::string out(static_cast<size_t>(needed), '\0');
    std::vsnprintf(out.data(), out.size() + 1, format, args);
    return out;
}

size_t Clamp(int v, size_t hi)
{
    return v < 0 ? 0 : std::min(static_cast<size_t>(v), hi);
}

bool InSet(char ch, const char* set)
{
    return set && std::strchr(set, ch) != nullptr && ch != '\0';
}

}  // namespace

char* CString::GetBuffer(int minLength)
{
    if (minLength > GetLength()) m_text.resize(static_cast<size_t>(minLength));
    return m_text.data();
}

char* CString::GetBufferSetLength(int length)
{
    m_text.resize(static_cast<size_t>(std::max(length, 0)));
    return m_text.data();
}

void CString::ReleaseBuffer(int newLength)
{
    if (newLength < 0)
        m_text.resize(std::strlen(m_text.c_str()));
    else
        m_text.resize(Clamp(newLength, m_text.size()));
}

void CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    m_text = VFormat(format, args);
    va_end(args);
}

void CString::AppendFormat(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    m_text += VFormat(format, args);
    va_end(args);
}

CString CString::Left(int count) const
{
    return CString(m_text.substr(0, Clamp(count, m_text.size())));
}

CString CString::Right(int count) const
{
    const size_t n = Clamp(count, m_text.size());
    return CString(m_text.substr(m_text.size() - n));
}

CString CString::Mid(int first) const
{
    return CString(m_text.substr(Clamp(first, m_text.size())));
}

CString CString::Mid(int first, int count) const
{
    const size_t start = Clamp(first, m_text.size());
    return CString(m_text.substr(start, Clamp(count, m_text.size() - start)));
}

CString CString::SpanIncluding(const char* set) const
{
    size_t n = 0;
    while (n < m_text.size() && InSet(m_text[n], set)) ++n;
    return CString(m_text.substr(0, n));
}

CString CString::SpanExcluding(const char* set) const
{
    size_t n = 0;
    while (n < m_text.size() && !InSet(m_text[n], set)) ++n;
    return CString(m_text.substr(0, n));
}

int CString::Find(char ch, int start) const
{
    if (start < 0 || static_cast<size_t>(start) > m_text.size()) return -1;
    const size_t at = m_text.find(ch, static_cast<size_t>(start));
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Find(const char* sub, int start) const
{
    if (!sub || start < 0 || static_cast<size_t>(start) > m_text.size()) return -1;
    const size_t at = m_text.find(sub, static_cast<size_t>(start));
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::ReverseFind(char ch) const
{
    const size_t at = m_text.rfind(ch);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::FindOneOf(const char* set) const
{
    for (size_t i = 0; i < m_text.size(); ++i)
        if (InSet(m_text[i], set)) return static_cast<int>(i);
    return -1;
}

int CString::Replace(char from, char to)
{
    int count = 0;
    for (char& c : m_text)
        if (c == from) {
            c = to;
            ++count;
        }
    return count;
}

int CString::Replace(const char* from, const char* to)
{
    if (!from || !*from) return 0;
    const std::string f(from), t(to ? to : "");
    int count = 0;
    for (size_t at = m_text.find(f); at != std::string::npos; at = m_text.find(f, at + t.size())) {
        m_text.replace(at, f.size(), t);
        ++count;
    }
    return count;
}

int CString::Remove(char ch)
{
    const size_t before = m_text.size();
    m_text.erase(std::remove(m_text.begin(), m_text.end(), ch), m_text.end());
    return static_cast<int>(before - m_text.size());
}

int CString::Insert(int index, char ch)
{
    m_text.insert(Clamp(index, m_text.size()), 1, ch);
    return GetLength();
}

int CString::Insert(int index, const char* text)
{
    if (text) m_text.insert(Clamp(index, m_text.size()), text);
    return GetLength();
}

int CString::Delete(int index, int count)
{
    const size_t start = Clamp(index, m_text.size());
    m_text.erase(start, Clamp(count, m_text.size() - start));
    return GetLength();
}

CString& CString::MakeUpper()
{
    for (char& c : m_text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return *this;
}

CString& CString::MakeLower()
{
    for (char& c : m_text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return *this;
}

CString& CString::MakeReverse()
{
    std::reverse(m_text.begin(), m_text.end());
    return *this;
}

CString& CString::TrimLeft()
{
    return TrimLeft(" \t\r\n\v\f");
}
CString& CString::TrimRight()
{
    return TrimRight(" \t\r\n\v\f");
}
CString& CString::Trim()
{
    return TrimLeft().TrimRight();
}

CString& CString::TrimLeft(char ch)
{
    const char set[2] = {ch, '\0'};
    return TrimLeft(set);
}

CString& CString::TrimRight(char ch)
{
    const char set[2] = {ch, '\0'};
    return TrimRight(set);
}

CString& CString::TrimLeft(const char* set)
{
    size_t n = 0;
    while (n < m_text.size() && InSet(m_text[n], set)) ++n;
    m_text.erase(0, n);
    return *this;
}

CString& CString::TrimRight(const char* set)
{
    size_t n = m_text.size();
    while (n > 0 && InSet(m_text[n - 1], set)) --n;
    m_text.resize(n);
    return *this;
}

int CString::Compare(const char* other) const
{
    return std::strcmp(m_text.c_str(), other ? other : "");
}

int CString::CompareNoCase(const char* other) const
{
    return ::strcasecmp(m_text.c_str(), other ? other : "");
}
