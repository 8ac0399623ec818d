#pragma once

// Basecore's edit control that can be shown disabled or as a password field; only the
// password mode flag is kept here.

#include "platform/controls/edit.h"

class CDisEdit : public CEdit {
public:
    void SetPasswordMode(int mode) { m_nPasswordMode = mode; }
    int GetPasswordMode() const { return m_nPasswordMode; }

private:
    int m_nPasswordMode = 0;
};
