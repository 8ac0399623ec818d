#pragma once

// A small project class and objects for the project file's tests, registered in "Classes"
// by RegisterProjectTestClasses, and a builder of .ktp files from their parts.
//
// TKTestProject's objects header is one int32 setting; its objects block is a data tree
// (one object record) followed by an int32 count and that many object records.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "plugin3d/model/core/k_change_object.h"
#include "plugin3d/model/core/k_data_branch.h"
#include "plugin3d/model/core/k_project.h"

namespace kelvora::test {

/// An object that refers to another (stored as a stream id, linked after the load).
class TKTestLinked : public TKCustomChangeObject {
    DECLARE_TCLASS(TKTestLinked)

    int SaveToStream(TKObjectsStream* stream) override;
    int LoadFromStream(TKObjectsStream* stream) override;
    int LinkObjects(TKObjectsStream* stream) override;

    TKTestLinked* partner = nullptr;
    std::int32_t value = 0;
    /// Opened editors: the objects Operation(4098) was asked to open.
    std::vector<std::intptr_t> opened;
    int Operation(int code, std::intptr_t param) override;

protected:
    TKTestLinked() = default;

private:
    std::int32_t m_storedPartner = 0;
};

/// Never registered in "Classes": a file's record of it is of a class the program does not
/// know.
class TKTestUnlisted : public TKTestLinked {
    DECLARE_TCLASS(TKTestUnlisted)

protected:
    TKTestUnlisted() = default;
};

/// What a TKTestFaulty does wrong in the writing pass (the counting pass is right).
enum class Fault { None, ReportsOneByteMore, ThrowsWhileWriting, StopsItsJob };

class TKTestFaulty : public TKTestLinked {
    DECLARE_TCLASS(TKTestFaulty)

    int SaveToStream(TKObjectsStream* stream) override;
    Fault fault = Fault::ReportsOneByteMore;

protected:
    TKTestFaulty() = default;
};

class TKTestProject : public TKProject {
    DECLARE_TCLASS(TKTestProject)

    void Init() override;
    int WriteObjectsHeader(TKObjectsStream* stream) override;
    int ReadObjectsHeader(TKObjectsStream* stream) override;
    int WriteObjects(TKObjectsStream* stream) override;
    int ReadObjects(TKObjectsStream* stream) override;
    int LinkObjects(TKObjectsStream* stream) override;
    /// Holds its items.
    int FindContainer(TObject* object, TObject** container) override;

    /// Adds an object the project owns.
    template <class T>
    T* Add(T* object)
    {
        items.push_back(object);
        return object;
    }

    std::int32_t setting = 0;
    /// When set, the counting pass claims an objects header of this many bytes.
    std::int32_t claimedHeader = 0;
    TKDataBranch* tree = nullptr;  ///< owned
    std::vector<TKObject*> items;  ///< owned

protected:
    TKTestProject() = default;
    ~TKTestProject() override;

private:
    void FreeItems();
};

/// Registers the test classes (but TKTestUnlisted) in "Classes".
void RegisterProjectTestClasses();

/// A .ktp file built from its parts; each part can be set to anything.
struct KtpParts {
    std::string signature{"KELVORA", 8};
    std::int32_t major = 1, minor = 0;
    std::string classPath = "TKProject.TKTestProject";
    std::string name = "Test";
    std::vector<std::uint8_t> description;  ///< the D block
    std::vector<std::uint8_t> modules;      ///< the M block
    std::vector<std::uint8_t> classTree;    ///< the T block
    std::vector<std::uint8_t> header;       ///< the H block
    std::vector<std::uint8_t> objects;      ///< the B block

    /// The whole file; the block sizes are the blocks' lengths.
    std::vector<std::uint8_t> Bytes() const;
};

/// Little-endian pieces of blocks.
void PutInt32(std::vector<std::uint8_t>& out, std::int32_t v);
void PutString(std::vector<std::uint8_t>& out, const std::string& s);
/// A class-tree node: child count, class id, use count, name.
void PutClassNode(std::vector<std::uint8_t>& out, std::int32_t children, std::int32_t id, std::int32_t uses,
                  const std::string& name);

/// The file as bytes, and back.
std::vector<std::uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::int32_t Int32At(const std::vector<std::uint8_t>& bytes, std::size_t at);
void SetInt32At(std::vector<std::uint8_t>& bytes, std::size_t at, std::int32_t v);

/// The parts of a file (as LayoutOf finds them).
KtpParts PartsOf(const std::vector<std::uint8_t>& bytes);

/// The offsets of a file's size fields, found by walking its layout.
struct KtpLayout {
    std::size_t d = 0, m = 0, t = 0, h = 0, b = 0;  ///< offsets of the size fields
    std::size_t end = 0;                            ///< the file's length
    /// Offsets of the heads of the object records in the B block (top level and nested
    /// alike, in file order), for a TKTestProject file.
    std::vector<std::size_t> records;
};
KtpLayout LayoutOf(const std::vector<std::uint8_t>& bytes);

/// The message of the exception fn raises, or "" when it raises none.
template <class F>
std::string ErrorOf(F&& fn)
{
    try {
        fn();
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

}  // namespace kelvora::test
