#pragma once

// TKDataBranch: the node of the registry trees and of the trees the forms mirror: a name,
// a data reference, a tag and a flag byte on top of TKBranch. Its fields are read and
// written under the shared tree lock.

#include <cstdint>
#include <string>

#include "plugin3d/model/core/k_branch.h"

/// A node's data: a class, an object, a function or a plain key, tagged with what it is,
/// so that a reader can test what it holds before using it. Never owned. A null reference
/// of any kind is the empty value.
class TKData {
public:
    enum class Kind : std::uint8_t { None, Class, Object, Function, Key };

    constexpr TKData() = default;
    static TKData OfClass(TClass cls) { return Make(Kind::Class, reinterpret_cast<std::uintptr_t>(cls)); }
    static TKData OfObject(TObject* object)
    {
        return Make(Kind::Object, reinterpret_cast<std::uintptr_t>(object));
    }
    template <class F>
    static TKData OfFunction(F* function)
    {
        return Make(Kind::Function, reinterpret_cast<std::uintptr_t>(function));
    }
    static TKData OfKey(std::intptr_t key) { return Make(Kind::Key, static_cast<std::uintptr_t>(key)); }

    Kind kind() const { return m_kind; }
    bool IsEmpty() const { return m_kind == Kind::None; }
    /// The class, or null when the data is not a class.
    TClass AsClass() const { return m_kind == Kind::Class ? reinterpret_cast<TClass>(m_value) : nullptr; }
    /// The object, or null when the data is not an object.
    TObject* AsObject() const
    {
        return m_kind == Kind::Object ? reinterpret_cast<TObject*>(m_value) : nullptr;
    }
    /// The function as type F, or null when the data is not a function.
    template <class F>
    F* AsFunction() const
    {
        return m_kind == Kind::Function ? reinterpret_cast<F*>(m_value) : nullptr;
    }
    /// The key, or 0 when the data is not a key.
    std::intptr_t AsKey() const { return m_kind == Kind::Key ? static_cast<std::intptr_t>(m_value) : 0; }

    friend bool operator==(const TKData& a, const TKData& b) = default;

private:
    static TKData Make(Kind kind, std::uintptr_t value)
    {
        TKData d;
        if (value != 0) d.m_kind = kind, d.m_value = value;
        return d;
    }
    Kind m_kind = Kind::None;
    std::uintptr_t m_value = 0;
};

class TKDataBranch : public TKBranch {
    DECLARE_TCLASS(TKDataBranch)

    /// The named constructor: a new node with owner null, then flag, name and data.
    static TKDataBranch* NewNamed(const std::string& name, std::uint8_t flag = 0, TKData data = {});

    /// Copies Name, Data, Tag and Flag from a TKDataBranch, then the tree (TKBranch).
    void Assign(TPersistent* source) override;
    /// The branch, then Name (length-counted), Data (int32: a key's value, 0 for a class,
    /// object or function, which mean nothing in another run), Tag (int32), Flag (int32).
    int SaveToStream(TKObjectsStream* stream) override;
    /// Reads what SaveToStream wrote; a stored non-zero Data comes back as a key.
    int LoadFromStream(TKObjectsStream* stream) override;

    // Slots 24-27. They only store; no events.
    virtual void SetName(const std::string& name);
    virtual void SetData(TKData data);
    virtual void SetTag(std::int32_t tag);
    virtual void SetFlag(std::uint8_t flag);

    std::string Name() const;
    TKData Data() const;
    std::int32_t Tag() const;
    std::uint8_t Flag() const;

    /// Child index when it is a TKDataBranch, else null.
    TKDataBranch* DataChild(int index) const;
    /// The first TKDataBranch child with that data; null for empty data.
    TKDataBranch* FindByData(TKData data) const;
    /// This node when its data is data, else the first match depth first below it; null for
    /// empty data.
    TKDataBranch* FindDataInTree(TKData data);
    /// The first TKDataBranch child with that tag.
    TKDataBranch* FindByTag(std::int32_t tag) const;
    /// The first TKDataBranch child named name (ASCII case ignored unless caseSensitive).
    TKDataBranch* FindChildByName(const std::string& name, bool caseSensitive) const;
    /// That child, made (nameless node, named, added) when missing.
    TKDataBranch* ForceChild(const std::string& name, bool caseSensitive);
    /// Walks the parts of path split at separator from this node; null at the first
    /// missing part.
    TKDataBranch* FindPath(const std::string& path, bool caseSensitive, char separator);
    /// The same, making the missing parts; returns the last node.
    TKDataBranch* ForcePath(const std::string& path, bool caseSensitive, char separator);
    /// The names from just below stopAt down to this node, joined by separator (a node that
    /// is not a TKDataBranch gives an empty part); stopAt null runs to the top.
    std::string GetPath(const TKBranch* stopAt, char separator) const;
    /// SetFlag on this node and every TKDataBranch above it.
    void SetFlagToRoot(std::uint8_t flag);
    /// SetFlag on this node and every TKDataBranch below it.
    void SetFlagInTree(std::uint8_t flag);

protected:
    TKDataBranch() = default;

private:
    std::string m_name;
    TKData m_data;
    std::int32_t m_tag = 0;
    std::uint8_t m_flag = 0;
};
