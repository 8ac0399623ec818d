#pragma once

// The "TempDir" setting for the life of an object, for tests of where caches go.

#include <string>

#include "outside/basecore/settings.h"

/// Sets the "TempDir" setting for the life of the object; empty again afterwards.
class TempDirSetting {
public:
    explicit TempDirSetting(const std::string& folder)
    {
        SetStringValue("\\Settings\\General", "TempDir", folder.c_str());
    }
    ~TempDirSetting() { SetStringValue("\\Settings\\General", "TempDir", ""); }
    TempDirSetting(const TempDirSetting&) = delete;
    TempDirSetting& operator=(const TempDirSetting&) = delete;
};
