#pragma once

// Basecore's small string record: a buffer pointer and two lengths, copied as they are. It
// owns nothing; nothing in the suite fills one beyond constructing and assigning it.

class CMyString {
public:
    CMyString() = default;
    CMyString(const CMyString&) = default;
    /// Copies the three fields as they are (the buffer is shared, not duplicated).
    CMyString& operator=(const CMyString&) = default;

    char* m_pData = nullptr;
    int m_nLength = 0;
    int m_nAllocated = 0;
};
