#pragma once

// The framework's text class: a byte string (UTF-8 on this platform) with value semantics
// and the members the suite calls.

#include <string>
#include <string_view>

#include "platform/types.h"

class PLATFORM_API CString {
public:
    CString() = default;
    CString(const char* text) : m_text(text ? text : "") {}
    CString(const char* text, int length) : m_text(text ? std::string(text, static_cast<size_t>(length)) : "")
    {
    }
    CString(char ch, int repeat = 1) : m_text(static_cast<size_t>(repeat > 0 ? repeat : 0), ch) {}
    CString(std::string text) : m_text(std::move(text)) {}
    CString(std::string_view text) : m_text(text) {}

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    char GetAt(int i) const { return m_text[static_cast<size_t>(i)]; }
    void SetAt(int i, char ch) { m_text[static_cast<size_t>(i)] = ch; }
    char operator[](int i) const { return GetAt(i); }
    operator LPCTSTR() const { return m_text.c_str(); }
    const char* c_str() const { return m_text.c_str(); }
    const std::string& str() const { return m_text; }

    /// A writable buffer of at least `minLength` characters; ReleaseBuffer ends the edit
    /// (length -1: up to the first zero byte).
    char* GetBuffer(int minLength = 0);
    char* GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);

    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void AppendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
    /// Loads the text of a string resource through the resource chain; FALSE when absent.
    BOOL LoadString(UINT id);

    CString Left(int count) const;
    CString Right(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString SpanIncluding(const char* set) const;
    CString SpanExcluding(const char* set) const;

    int Find(char ch, int start = 0) const;
    int Find(const char* sub, int start = 0) const;
    int ReverseFind(char ch) const;
    int FindOneOf(const char* set) const;
    int Replace(char from, char to);
    int Replace(const char* from, const char* to);
    int Remove(char ch);
    int Insert(int index, char ch);
    int Insert(int index, const char* text);
    int Delete(int index, int count = 1);

    CString& MakeUpper();
    CString& MakeLower();
    CString& MakeReverse();
    CString& TrimLeft();
    CString& TrimRight();
    CString& Trim();
    CString& TrimLeft(char ch);
    CString& TrimRight(char ch);
    CString& TrimLeft(const char* set);
    CString& TrimRight(const char* set);

    int Compare(const char* other) const;
    int CompareNoCase(const char* other) const;

    CString& operator=(const char* text)
    {
        m_text = text ? text : "";
        return *this;
    }
    CString& operator=(char ch)
    {
        m_text.assign(1, ch);
        return *this;
    }
    CString& operator+=(const CString& other)
    {
        m_text += other.m_text;
        return *this;
    }
    CString& operator+=(const char* text)
    {
        if (text) m_text += text;
        return *this;
    }
    CString& operator+=(char ch)
    {
        m_text += ch;
        return *this;
    }

    friend CString operator+(const CString& a, const CString& b) { return CString(a.m_text + b.m_text); }
    friend CString operator+(const CString& a, const char* b) { return CString(a.m_text + (b ? b : "")); }
    friend CString operator+(const char* a, const CString& b) { return CString((a ? a : "") + b.m_text); }
    friend CString operator+(const CString& a, char b) { return CString(a.m_text + b); }
    friend CString operator+(char a, const CString& b) { return CString(a + b.m_text); }
    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
    friend bool operator==(const CString& a, const char* b) { return a.m_text == (b ? b : ""); }
    friend bool operator<(const CString& a, const CString& b) { return a.m_text < b.m_text; }

private:
    std::string m_text;
};
