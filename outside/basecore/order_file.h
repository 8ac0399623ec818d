#pragma once

// Basecore's file of little-endian records: a framework file with a Read of its own, so
// that a reader of such records can be given one where a CFile is expected.

#include "platform/kernel/cfile.h"

class COrderFile : public CFile {
public:
    COrderFile() = default;
    ~COrderFile() override = default;

    /// Reads up to `count` bytes as they lie in the file (the records are little-endian,
    /// as this machine is); returns how many were read. Throws on failure, as CFile does.
    UINT Read(void* buffer, UINT count) override;
};
