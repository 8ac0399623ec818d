#pragma once

// TRegistry: the class library's reading face of the registry (registry/registry.h): one
// open key below a root, its value names and its text values.

#include <string>
#include <vector>

#include "platform/forms/exceptions.h"
#include "platform/forms/object.h"

/// A registry value that cannot be read as asked.
class PLATFORM_API ERegistryException : public Exception {
public:
    using Exception::Exception;
};

class PLATFORM_API TRegistry : public TObject {
    DECLARE_TCLASS(TRegistry)

    TRegistry() = default;
    /// Closes the open key.
    ~TRegistry() override;

    /// The root the key paths start from; HKEY_CURRENT_USER unless set. Closes the open key.
    void SetRootKey(HKEY root);
    HKEY RootKey() const { return m_root; }

    /// Opens the existing key at path ("\" between key names) for reading, closing the one
    /// open before. False when it is not there; nothing is made.
    bool OpenKeyReadOnly(const std::string& path);
    void CloseKey();
    bool HasOpenKey() const { return m_key != nullptr; }

    /// The names of the open key's values, in the registry's order; empty without a key.
    std::vector<std::string> GetValueNames() const;
    /// The text of a value; empty when the value is missing. A value that is not text
    /// raises ERegistryException "Invalid data type for '<name>'".
    std::string ReadString(const std::string& name) const;

private:
    HKEY m_root = nullptr;
    HKEY m_key = nullptr;
};
