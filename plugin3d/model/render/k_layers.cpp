#include "plugin3d/model/render/k_layers.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "plugin3d/model/core/k_rtd_registry.h"
#include "plugin3d/model/render/k_rdp_file.h"

IMPLEMENT_TCLASS(TKLayer, TKCustomChangeObject)
IMPLEMENT_TCLASS(TKLayerKeeper, TKCustomChangeObject)
IMPLEMENT_TCLASS(TKFileLayerKeeper, TKLayerKeeper)

void TKLayer::Acquire() {}

void TKLayer::Release() {}

void TKLayer::SetFormat(int elementType, int width, int height)
{
    TKObjectLock lock(*this);
    BeginUpdate(false, 0);
    StoreFormat(elementType, width, height);
    EndUpdate(false, 0);
}

void TKLayer::StoreFormat(int elementType, int width, int height)
{
    TKObjectLock lock(*this);
    m_elementType = elementType;
    m_width = width;
    m_height = height;
}

void* TKLayer::GetElementPtr(int, int)
{
    return nullptr;
}

std::string TKLayer::DescribeAs(const std::string& name) const
{
    TKSectionGuard guard(LockSection());
    std::string text = name + " - " + std::to_string(m_width) + " x " + std::to_string(m_height);
    if (m_elementType >= 0 && m_elementType < kLastElementType)
        text += std::string(" (") + ElementTypeName(m_elementType) + ")";
    return text;
}

void TKLayer::GetDescription(std::string& text)
{
    text = DescribeAs(Name());
}

std::string TKLayer::Description()
{
    std::string text;
    GetDescription(text);
    return text;
}

void TKLayer::ReadRow(int, void*, int, std::int64_t, int) {}

void TKLayer::WriteRow(int, const void*, int, std::int64_t, int) {}

void TKLayer::BeginAccess()
{
    bool first;
    {
        TKObjectLock lock(*this);
        first = m_accessCount++ == 0;
    }
    if (!first) return;
    // Acquire runs outside this layer's lock: a file that maps itself rebinds all its
    // layers, so its lock must always be taken before a layer's.
    try {
        Acquire();
    } catch (...) {
        TKObjectLock lock(*this);
        --m_accessCount;
        throw;
    }
}

bool TKLayer::IsAccessed() const
{
    TKSectionGuard guard(LockSection());
    return m_accessCount > 0;
}

int TKLayer::ElementType() const
{
    TKSectionGuard guard(LockSection());
    return m_elementType;
}

int TKLayer::Width() const
{
    TKSectionGuard guard(LockSection());
    return m_width;
}

int TKLayer::Height() const
{
    TKSectionGuard guard(LockSection());
    return m_height;
}

void TKLayerKeeper::SetCount(int n)
{
    StoreCount(n);
}

void TKLayerKeeper::StoreCount(int n)
{
    TKObjectLock lock(*this);
    m_count = std::max(n, 0);
}

int TKLayerKeeper::Count() const
{
    TKSectionGuard guard(LockSection());
    return m_count;
}

TKLayer* TKLayerKeeper::GetLayer(int)
{
    return nullptr;
}

TKDataBranch* TKLayerKeeper::MakeBranch()
{
    TOwned<TKDataBranch> branch(TKDataBranch::NewNamed(Name(), 0, TKData::OfObject(this)));
    for (int i = 0, n = Count(); i < n; ++i)
        if (TKLayer* layer = GetLayer(i))
            branch->AddChild(TKDataBranch::NewNamed(layer->Name(), 0, TKData::OfObject(layer)));
    return branch.release();
}

void TKFileLayerKeeper::Init()
{
    TKLayerKeeper::Init();
    m_fileName.clear();
    m_closed = true;
}

void TKFileLayerKeeper::SetFileName(const std::string& name)
{
    StoreFileName(name);
}

void TKFileLayerKeeper::StoreFileName(const std::string& name)
{
    TKObjectLock lock(*this);
    m_fileName = name;
}

void TKFileLayerKeeper::SetClosed(bool closed)
{
    TKObjectLock lock(*this);
    m_closed = closed;
}

void TKFileLayerKeeper::Close(bool flag)
{
    if (!flag) return;
    TKObjectLock lock(*this);
    m_closed = true;
    m_fileName.clear();
}

void TKFileLayerKeeper::Open(const std::string&, std::uint32_t, std::uint32_t, std::uint32_t) {}

bool TKFileLayerKeeper::IsBadFormat()
{
    return false;
}

std::string TKFileLayerKeeper::FileName() const
{
    TKSectionGuard guard(LockSection());
    return m_fileName;
}

bool TKFileLayerKeeper::IsClosed() const
{
    TKSectionGuard guard(LockSection());
    return m_closed;
}

namespace {

constexpr char kCreators[] = "Creators";

std::atomic<std::uint64_t> g_creatorNumber{0};

const void* CreatorsKey()
{
    return TKFileLayerKeeper::StaticClass();
}

TKDataBranch* CreatorsBranch()
{
    TKDataBranch* root = RegistryFind(CreatorsKey());
    return root ? root->FindChildByName(kCreators, true) : nullptr;
}

void StartLayers()
{
    if (TKDataBranch* root = RegistryRoot(CreatorsKey())) root->ForceChild(kCreators, true);
    RegisterLayerFileCreator(CreateRDPFileKeeper);
}

void EndLayers()
{
    UnregisterLayerFileCreator(CreateRDPFileKeeper);
    RegistryRemove(CreatorsKey());
}

}  // namespace

void RegisterLayerFileCreator(TKLayerFileCreator fn)
{
    if (!fn) return;
    TKTreeLock lock;
    TKDataBranch* creators = CreatorsBranch();
    if (!creators) return;
    const std::uint64_t number = ++g_creatorNumber;
    creators->AddChild(TKDataBranch::NewNamed(std::to_string(number), 0, TKData::OfFunction(fn)));
}

void UnregisterLayerFileCreator(TKLayerFileCreator fn)
{
    TKTreeLock lock;
    if (TKDataBranch* creators = CreatorsBranch()) FreeObject(creators->FindByData(TKData::OfFunction(fn)));
}

TKFileLayerKeeper* CreateFileLayerKeeper(const std::string& fileName)
{
    // The creators run outside the tree lock: making a keeper makes branches of its own.
    std::vector<TKLayerFileCreator> creators;
    {
        TKTreeLock lock;
        TKDataBranch* branch = CreatorsBranch();
        if (!branch) return nullptr;
        for (int i = branch->Count() - 1; i >= 0; --i)
            if (TKDataBranch* child = branch->DataChild(i))
                if (auto* fn = child->Data().AsFunction<TKFileLayerKeeper*(const std::string&)>())
                    creators.push_back(fn);
    }
    for (TKLayerFileCreator fn : creators)
        if (TKFileLayerKeeper* keeper = fn(fileName)) return keeper;
    return nullptr;
}

const TUnitInfo kKLayersUnit{"KLayers", StartLayers, EndLayers};
