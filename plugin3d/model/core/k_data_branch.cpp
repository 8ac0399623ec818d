#include "plugin3d/model/core/k_data_branch.h"

#include <string_view>
#include <vector>

#include "platform/forms/format.h"
#include "plugin3d/model/core/k_strings.h"

IMPLEMENT_TCLASS(TKDataBranch, TKBranch)

namespace {

bool SameName(std::string_view a, std::string_view b, bool caseSensitive)
{
    return caseSensitive ? a == b : SameText(a, b);
}

// The parts of path between separators; empty parts are skipped.
std::vector<std::string> SplitPath(const std::string& path, char separator)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find(separator, start), path.size());
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

}  // namespace

TKDataBranch* TKDataBranch::NewNamed(const std::string& name, std::uint8_t flag, TKData data)
{
    TKDataBranch* node = New(nullptr);
    node->SetFlag(flag);
    node->SetName(name);
    node->SetData(data);
    return node;
}

void TKDataBranch::Assign(TPersistent* source)
{
    if (auto* other = ObjectAs<TKDataBranch>(source)) {
        TKTreeLock lock;
        m_name = other->m_name;
        m_data = other->m_data;
        m_tag = other->m_tag;
        m_flag = other->m_flag;
    }
    TKBranch::Assign(source);
}

void TKDataBranch::SetName(const std::string& name)
{
    TKTreeLock lock;
    if (m_name != name) m_name = name;
}

void TKDataBranch::SetData(TKData data)
{
    TKTreeLock lock;
    m_data = data;
}

void TKDataBranch::SetTag(std::int32_t tag)
{
    TKTreeLock lock;
    m_tag = tag;
}

void TKDataBranch::SetFlag(std::uint8_t flag)
{
    TKTreeLock lock;
    m_flag = flag;
}

std::string TKDataBranch::Name() const
{
    TKTreeLock lock;
    return m_name;
}

TKData TKDataBranch::Data() const
{
    TKTreeLock lock;
    return m_data;
}

std::int32_t TKDataBranch::Tag() const
{
    TKTreeLock lock;
    return m_tag;
}

std::uint8_t TKDataBranch::Flag() const
{
    TKTreeLock lock;
    return m_flag;
}

int TKDataBranch::SaveToStream(TKObjectsStream* stream)
{
    TKTreeLock lock;
    int total = TKBranch::SaveToStream(stream);
    if (total < 0) return total;
    // Only a key means the same in another run; an address would not.
    const auto data = static_cast<std::int32_t>(m_data.AsKey());
    total += WriteStringTo(stream, m_name);
    total += WriteValue(stream, data);
    total += WriteValue(stream, m_tag);
    total += WriteValue(stream, static_cast<std::int32_t>(m_flag));
    return total;
}

int TKDataBranch::LoadFromStream(TKObjectsStream* stream)
{
    TKTreeLock lock;
    int total = TKBranch::LoadFromStream(stream);
    if (total < 0) return total;
    std::int32_t data = 0, tag = 0, flag = 0;
    total += ReadStringFrom(stream, m_name);
    total += ReadValue(stream, data);
    total += ReadValue(stream, tag);
    total += ReadValue(stream, flag);
    m_data = TKData::OfKey(data);
    m_tag = tag;
    m_flag = static_cast<std::uint8_t>(flag);
    return total;
}

TKDataBranch* TKDataBranch::DataChild(int index) const
{
    return ObjectAs<TKDataBranch>(GetChild(index));
}

TKDataBranch* TKDataBranch::FindByData(TKData data) const
{
    if (data.IsEmpty()) return nullptr;
    TKTreeLock lock;
    for (int i = 0; i < Count(); ++i)
        if (TKDataBranch* child = DataChild(i); child && child->m_data == data) return child;
    return nullptr;
}

TKDataBranch* TKDataBranch::FindDataInTree(TKData data)
{
    if (data.IsEmpty()) return nullptr;
    TKTreeLock lock;
    if (m_data == data) return this;
    for (int i = 0; i < Count(); ++i)
        if (TKDataBranch* child = DataChild(i))
            if (TKDataBranch* found = child->FindDataInTree(data)) return found;
    return nullptr;
}

TKDataBranch* TKDataBranch::FindByTag(std::int32_t tag) const
{
    TKTreeLock lock;
    for (int i = 0; i < Count(); ++i)
        if (TKDataBranch* child = DataChild(i); child && child->m_tag == tag) return child;
    return nullptr;
}

TKDataBranch* TKDataBranch::FindChildByName(const std::string& name, bool caseSensitive) const
{
    TKTreeLock lock;
    for (int i = 0; i < Count(); ++i)
        if (TKDataBranch* child = DataChild(i); child && SameName(child->m_name, name, caseSensitive))
            return child;
    return nullptr;
}

TKDataBranch* TKDataBranch::ForceChild(const std::string& name, bool caseSensitive)
{
    TKTreeLock lock;
    if (TKDataBranch* child = FindChildByName(name, caseSensitive)) return child;
    TKDataBranch* child = New(nullptr);
    child->SetName(name);
    AddChild(child);
    return child;
}

TKDataBranch* TKDataBranch::FindPath(const std::string& path, bool caseSensitive, char separator)
{
    TKTreeLock lock;
    TKDataBranch* node = this;
    for (const std::string& part : SplitPath(path, separator))
        if (!(node = node->FindChildByName(part, caseSensitive))) return nullptr;
    return node;
}

TKDataBranch* TKDataBranch::ForcePath(const std::string& path, bool caseSensitive, char separator)
{
    TKTreeLock lock;
    TKDataBranch* node = this;
    for (const std::string& part : SplitPath(path, separator)) node = node->ForceChild(part, caseSensitive);
    return node;
}

std::string TKDataBranch::GetPath(const TKBranch* stopAt, char separator) const
{
    TKTreeLock lock;
    std::string path = m_name;
    for (const TKBranch* node = Parent(); node && node != stopAt; node = node->Parent()) {
        const auto* named = ObjectAs<TKDataBranch>(node);
        path.insert(0, (named ? named->m_name : std::string()) + separator);
    }
    return path;
}

void TKDataBranch::SetFlagToRoot(std::uint8_t flag)
{
    TKTreeLock lock;
    for (TKBranch* node = this; node; node = node->Parent())
        if (auto* named = ObjectAs<TKDataBranch>(node)) named->SetFlag(flag);
}

void TKDataBranch::SetFlagInTree(std::uint8_t flag)
{
    TKTreeLock lock;
    SetFlag(flag);
    for (int i = 0; i < Count(); ++i)
        if (TKDataBranch* child = DataChild(i)) child->SetFlagInTree(flag);
}
