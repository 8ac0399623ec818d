#include "plugin3d/model/render/k_rdp_file.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <exception>
#include <filesystem>
#include <unordered_set>
#include <utility>

#include "platform/forms/exceptions.h"
#include "platform/kernel/file_mapping.h"
#include "platform/kernel/files.h"
#include "platform/last_error.h"

IMPLEMENT_TCLASS(TKRDPLayer, TKLayer)
IMPLEMENT_TCLASS(TKRDPFile, TKFileLayerKeeper)

namespace {

// Layout of layer files: a 12-byte head ("RDPR", version, a word no reader reads), then
// 12-byte layer entries (version 3) and block headers linked by absolute offsets.
constexpr std::int64_t kHeadBytes = 12;
constexpr std::int64_t kHeaderBytes = 12;
constexpr int kEntryFirstBlock = 4;
constexpr int kEntryNext = 8;
constexpr int kBlockKey = 0;
constexpr int kBlockPayload = 4;
constexpr int kBlockNext = 8;
constexpr std::int32_t kDescriptorKey = 0;
constexpr std::int32_t kDataKey = 1;
// The descriptor fields the reader takes: width +4, height +8, code +12.
constexpr std::int64_t kDescriptorBytes = 16;
constexpr std::int64_t kCountBytes = 4;

bool FileExists(const std::string& name)
{
    const DWORD attributes = GetFileAttributes(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string ExpandFileName(const std::string& name)
{
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(name, error);
    return error ? name : full.lexically_normal().string();
}

std::string ExtractFileName(const std::string& name)
{
    const std::size_t slash = name.find_last_of('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

std::string ExtractFileExt(const std::string& name)
{
    const std::size_t dot = name.find_last_of('.');
    const std::size_t slash = name.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return name.substr(dot);
}

[[noreturn]] void RaiseErrorClosing(HANDLE first, HANDLE second = nullptr)
{
    const DWORD error = GetLastError();
    if (first) CloseHandle(first);
    if (second) CloseHandle(second);
    SetLastError(error);
    RaiseLastOSError();
}

// Runs an update bracket around work; the bracket closes also when work raises.
template <class Work>
void InUpdate(TKCustomChangeObject& object, std::intptr_t param, Work&& work)
{
    object.BeginUpdate(false, param);
    try {
        work();
    } catch (...) {
        object.EndUpdate(false, param);
        throw;
    }
    object.EndUpdate(false, param);
}

}  // namespace

// ---- TKRDPLayer ------------------------------------------------------------------------

TKRDPLayer::~TKRDPLayer()
{
    Done();
    if (m_file) m_file->ForgetLayer(this);
    m_file = nullptr;
}

void TKRDPLayer::Place(TKRDPFile* file, int fileLayer, int part)
{
    TKObjectLock lock(*this);
    m_file = file;
    m_fileLayer = fileLayer;
    m_part = part;
}

void TKRDPLayer::ClearData()
{
    m_data = nullptr;
    m_firstBlock = nullptr;
}

void TKRDPLayer::Acquire()
{
    if (m_file) m_file->EnsureMapped();
}

void TKRDPLayer::Release()
{
    if (m_file) m_file->ReleaseIfUnused();
}

void TKRDPLayer::SetFormat(int, int, int) {}

void* TKRDPLayer::GetElementPtr(int x, int y)
{
    if (!m_data) return nullptr;
    return m_data + std::int64_t(y) * m_rowBytes + std::int64_t(x) * m_elementSize;
}

void TKRDPLayer::GetDescription(std::string& text)
{
    std::string path;
    if (m_file && m_file->m_root) {
        TKTreeLock lock;
        if (TKDataBranch* node = m_file->m_root->FindDataInTree(TKData::OfObject(this)))
            path = node->GetPath(m_file->m_root, '.');
    }
    text = DescribeAs(path);
}

void TKRDPLayer::ReadRow(int row, void* dest, int destType, std::int64_t destStride, int count)
{
    const std::uint8_t* data = m_data;
    if (!data || m_width <= 0 || m_height <= 0 || row < 0 || row >= m_height) return;
    ConvertElements(dest, destType, destStride, data + std::int64_t(row) * m_rowBytes, m_elementType,
                    m_elementSize, std::min(m_width, count));
    if (m_file) m_file->CheckNotCut();
}

void TKRDPLayer::WriteRow(int row, const void* source, int sourceType, std::int64_t sourceStride, int count)
{
    // A read-only file is mapped read-only: a store there would fault.
    std::uint8_t* data = m_data;
    if (!data || !m_writable || m_width <= 0 || m_height <= 0 || row < 0 || row >= m_height) return;
    ConvertElements(data + std::int64_t(row) * m_rowBytes, m_elementType, m_elementSize, source, sourceType,
                    sourceStride, std::min(m_width, count));
    if (m_file) m_file->CheckNotCut();
}

void TKRDPLayer::Bind()
{
    TKRDPFile* file = m_file;
    if (!file) return;
    // The file's lock before the layer's, as everywhere.
    TKObjectLock fileLock(*file);
    if (!file->IsMapped()) return;
    InUpdate(*this, 1, [&] {
        const int n = m_fileLayer;
        m_firstBlock = file->LayerEntry(n);
        m_data = nullptr;
        const std::int64_t descriptor = file->FindPayload(n, kDescriptorKey, kDescriptorBytes);
        if (descriptor < 0) {
            m_code = 0;
            StoreFormat(ketUnknown, 0, 0);
            m_elementSize = 0;
            m_rowBytes = 0;
            return;
        }
        m_code = file->ReadInt(descriptor + 12);
        const TKLayerCodeInfo info = LayerCodeInfo(m_code);
        const std::int32_t width = file->ReadInt(descriptor + 4);
        const std::int32_t height = file->ReadInt(descriptor + 8);
        StoreFormat(info.elementType, width, height);
        m_elementSize = info.elementSize;
        m_rowBytes = std::int64_t(m_elementSize) * width;
        m_writable = !file->m_readOnly;
        const std::int64_t block = file->FindPayload(n, kDataKey, kCountBytes);
        if (block < 0 || width <= 0 || height <= 0) return;
        const std::int64_t count = static_cast<std::uint32_t>(file->ReadInt(block));
        // The samples must end before the file does, and the block must hold every row.
        // Height x row bytes can pass 2^63 (2^31 rows of 2^35 bytes), so it is tested by division.
        const bool inside = block + kCountBytes + count < file->m_size;
        const bool holdsLayer = m_rowBytes == 0 || height <= count / m_rowBytes;
        if (inside && holdsLayer)
            m_data =
                file->m_view + block + kCountBytes + std::int64_t(m_part) * ElementTypeSize(info.elementType);
    });
}

// ---- TKRDPFile -------------------------------------------------------------------------

void TKRDPFile::Init()
{
    TKFileLayerKeeper::Init();
    m_readOnly = true;
    m_root = TKDataBranch::NewNamed("", 0, TKData::OfObject(this));
}

TKRDPFile::~TKRDPFile()
{
    Done();
    try {
        Close(true);
    } catch (...) {
        // Freed anyway below.
    }
    TKWaitingSectionGuard guard(LockSection());
    ReleaseView();
    FreeLayersFrom(0);
    m_layers.clear();
    FreeAndNil(m_root);
}

bool TKRDPFile::Fits(std::int64_t offset, std::int64_t bytes) const
{
    return offset > 0 && offset <= m_size - bytes;
}

std::int32_t TKRDPFile::ReadInt(std::int64_t offset) const
{
    std::int32_t value;
    std::memcpy(&value, m_view + offset, sizeof value);  // files are little-endian, as this machine
    return value;
}

std::int32_t TKRDPFile::HeaderField(std::int64_t header, int at) const
{
    return Fits(header, kHeaderBytes) ? ReadInt(header + at) : 0;
}

void TKRDPFile::ReadEntries()
{
    m_entries.clear();
    if (m_version != 3) return;
    // The entry at 12 always counts. A next link that returns to an entry already taken
    // ends the list, as in the suite's own reader, so both list the same layers.
    std::unordered_set<std::int64_t> seen;
    std::int64_t entry = kHeadBytes;
    for (;;) {
        m_entries.push_back(entry);
        seen.insert(entry);
        const std::int64_t next = HeaderField(entry, kEntryNext);
        if (next <= 0 || next >= m_size || seen.count(next) || m_entries.size() == std::size_t(kMaxLinks))
            break;
        entry = next;
    }
}

std::int64_t TKRDPFile::FirstBlockOffset(int n) const
{
    if (!m_view || n < 0) return -1;
    std::int64_t first = -1;
    if (m_version == 2)
        first = n == 0 ? kHeadBytes : -1;
    else if (m_version == 3 && n < static_cast<int>(m_entries.size()))
        first = HeaderField(m_entries[std::size_t(n)], kEntryFirstBlock);
    return Fits(first, kHeaderBytes) ? first : -1;
}

const std::uint8_t* TKRDPFile::LayerEntry(int n) const
{
    TKSectionGuard guard(LockSection());
    if (!IsMapped()) return nullptr;
    const std::int64_t first = FirstBlockOffset(n);
    return first < 0 ? nullptr : m_view + first;
}

std::int64_t TKRDPFile::FindPayload(int n, std::int32_t key, std::int64_t bytes) const
{
    std::int64_t header = FirstBlockOffset(n);
    if (header < 0) return -1;
    for (int links = 0;; ++links) {
        if (ReadInt(header + kBlockKey) == key) {
            const std::int64_t payload = ReadInt(header + kBlockPayload);
            return Fits(payload, bytes) ? payload : -1;
        }
        if (links == kMaxLinks) return -1;
        header = ReadInt(header + kBlockNext);
        if (!Fits(header, kHeaderBytes)) return -1;
    }
}

const std::uint8_t* TKRDPFile::LayerBlock(int n, std::int32_t key) const
{
    TKSectionGuard guard(LockSection());
    if (!IsMapped()) return nullptr;
    const std::int64_t payload = FindPayload(n, key, 1);
    return payload < 0 ? nullptr : m_view + payload;
}

std::int32_t TKRDPFile::LayerCode(int n) const
{
    const std::int64_t descriptor = FindPayload(n, kDescriptorKey, kDescriptorBytes);
    return descriptor < 0 ? 0 : ReadInt(descriptor + 12);
}

std::vector<TKRDPFile::Slot> TKRDPFile::Layout() const
{
    std::vector<Slot> slots;
    const int layers = m_version == 2 ? 1 : static_cast<int>(m_entries.size());
    for (int j = 0; j < layers; ++j) {
        slots.push_back({j, 0});
        if (LayerCodeInfo(LayerCode(j)).complex) slots.push_back({j, 1});
    }
    return slots;
}

void TKRDPFile::SetCount(int n)
{
    n = std::max(n, 0);
    TKObjectLock lock(*this);
    if (n == Count()) return;
    InUpdate(*this, 0, [&] {
        FreeLayersFrom(n);
        const std::size_t capacity = (std::size_t(n) + 15) / 16 * 16;
        if (capacity != m_layers.size()) {
            try {
                m_layers.resize(capacity, nullptr);
                m_layers.shrink_to_fit();
            } catch (...) {
                FreeLayersFrom(0);
                std::vector<TKRDPLayer*>().swap(m_layers);
                StoreCount(0);
                throw;
            }
        }
        StoreCount(n);
        for (int i = 0; i < n; ++i) {
            TKRDPLayer*& layer = m_layers[std::size_t(i)];
            if (!layer) {
                try {
                    layer = TKRDPLayer::New(this);
                } catch (...) {
                    // The entry stays empty; GetLayer answers null for it.
                }
            }
            if (layer) layer->Place(this, layer->m_fileLayer, layer->m_part);
        }
    });
}

void TKRDPFile::FreeLayersFrom(int n)
{
    for (std::size_t i = std::size_t(std::max(n, 0)); i < m_layers.size(); ++i) {
        TKRDPLayer* layer = std::exchange(m_layers[i], nullptr);
        if (!layer) continue;
        layer->m_file = nullptr;
        try {
            layer->Free();
        } catch (...) {
            // A listener's failure must not keep the other layers alive.
        }
    }
}

void TKRDPFile::ForgetLayer(TKRDPLayer* layer)
{
    TKWaitingSectionGuard guard(LockSection());
    const auto found = std::find(m_layers.begin(), m_layers.end(), layer);
    if (found != m_layers.end()) *found = nullptr;
    if (m_root) {
        TKTreeLock lock;
        if (TKDataBranch* node = m_root->FindDataInTree(TKData::OfObject(layer))) node->SetData({});
    }
}

TKLayer* TKRDPFile::GetLayer(int n)
{
    return GetRDPLayer(n);
}

TKRDPLayer* TKRDPFile::GetRDPLayer(int n) const
{
    TKSectionGuard guard(LockSection());
    return n >= 0 && n < Count() ? m_layers[std::size_t(n)] : nullptr;
}

int TKRDPFile::FileLayerCount() const
{
    TKSectionGuard guard(LockSection());
    return m_fileLayers;
}

bool TKRDPFile::IsReadOnly() const
{
    TKSectionGuard guard(LockSection());
    return m_readOnly;
}

const std::uint8_t* TKRDPFile::ViewBase() const
{
    TKSectionGuard guard(LockSection());
    return m_view;
}

std::int64_t TKRDPFile::FileSize() const
{
    TKSectionGuard guard(LockSection());
    return m_size;
}

bool TKRDPFile::IsBadFormat()
{
    TKSectionGuard guard(LockSection());
    return m_badFormat;
}

bool TKRDPFile::IsMapped() const
{
    TKSectionGuard guard(LockSection());
    return !m_badFormat && m_mapping && m_view && !IsClosed();
}

TKDataBranch* TKRDPFile::MakeBranch()
{
    TOwned<TKDataBranch> copy(TKDataBranch::New(nullptr));
    TKTreeLock lock;
    copy->Assign(m_root);
    return copy.release();
}

void TKRDPFile::Open(const std::string& name, std::uint32_t shareMode, std::uint32_t flagsAndAttributes,
                     std::uint32_t readOnly)
{
    if (!FileExists(name)) return;
    const std::string full = ExpandFileName(name);
    TKObjectLock lock(*this);
    if (full == FileName()) return;
    Close(true);
    StoreFileName(full);
    m_shareMode = shareMode;
    m_flags = flagsAndAttributes;
    m_readOnly = readOnly != 0;
    InUpdate(*this, 0, [&] {
        try {
            MapFile();
        } catch (...) {
            // Forgotten, so that opening the name again tries again.
            Unmap();
            StoreFileName({});
            throw;
        }
        Unmap();
    });
}

void TKRDPFile::MapFile()
{
    TKObjectLock lock(*this);
    const std::string name = FileName();
    if (m_view || m_mapping || name.empty() || !FileExists(name)) return;
    HANDLE file = CreateFileA(name.c_str(), m_readOnly ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE,
                              m_shareMode, nullptr, OPEN_EXISTING, m_flags, nullptr);
    if (file == INVALID_HANDLE_VALUE) RaiseLastOSError();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) RaiseErrorClosing(file);
    if (size.QuadPart >= kMaxFileSize) {
        CloseHandle(file);
        throw EStreamError("File \"" + name + "\" is very large");
    }
    // An empty file has nothing to map; it is simply not a layer file.
    if (size.QuadPart > 0) {
        HANDLE mapping =
            CreateFileMappingA(file, nullptr, m_readOnly ? PAGE_READONLY : PAGE_READWRITE, 0, 0, nullptr);
        if (!mapping) RaiseErrorClosing(file);
        void* view = MapViewOfFile(mapping, m_readOnly ? FILE_MAP_READ : FILE_MAP_WRITE, 0, 0, 0);
        if (!view) RaiseErrorClosing(mapping, file);
        m_mapping = mapping;
        m_view = static_cast<std::uint8_t*>(view);
        m_size = size.QuadPart;
    }
    CloseHandle(file);
    SetClosed(false);
    m_badFormat = true;
    m_version = 0;
    if (m_size >= kHeadBytes && std::memcmp(m_view, "RDPR", 4) == 0) {
        const std::int32_t version = ReadInt(4);
        if (version == 2 || version == 3) {
            m_badFormat = false;
            m_version = version;
        }
    }
    if (m_badFormat) return;
    ReadEntries();
    // A file cut short while its head was read is a damaged file, not a crash.
    if (IsViewDamaged(m_view)) {
        m_badFormat = true;
        m_entries.clear();
        return;
    }
    if (!m_built) {
        BuildLayers();
        return;
    }
    // A new view of the open file: the layer objects callers hold are rebound in place,
    // and keep no data when the file's layers are no longer the ones they stand for.
    std::vector<Slot> placed;
    for (int i = 0; i < Count(); ++i) {
        const TKRDPLayer* layer = m_layers[std::size_t(i)];
        if (layer) placed.push_back({layer->m_fileLayer, layer->m_part});
    }
    if (placed.size() == std::size_t(Count()) && placed == Layout()) BindAll();
}

void TKRDPFile::CheckNotCut()
{
    const std::uint8_t* view = m_view;
    if (!view || !IsViewDamaged(view)) return;
    TKObjectLock lock(*this);
    // What was read of the lost pages were zeros the file never held: no layer reads on.
    for (TKRDPLayer* layer : m_layers)
        if (layer) layer->ClearData();
    m_badFormat = true;
    throw EStreamError("The layer file \"" + FileName() +
                       "\" was cut short by another program while it was read: its layers are damaged");
}

void TKRDPFile::BuildLayers()
{
    TKObjectLock lock(*this);
    if (!IsMapped()) return;
    m_fileLayers = m_version == 2 ? 1 : static_cast<std::int32_t>(m_entries.size());
    const std::vector<Slot> slots = Layout();
    SetCount(static_cast<int>(slots.size()));
    for (std::size_t i = 0; i < slots.size(); ++i)
        if (TKRDPLayer* layer = m_layers[i]) layer->Place(this, slots[i].fileLayer, slots[i].part);
    BindAll();
    RebuildTree();
    m_built = true;
}

void TKRDPFile::BindAll()
{
    for (int i = 0; i < Count(); ++i)
        if (TKRDPLayer* layer = m_layers[std::size_t(i)]) layer->Bind();
}

void TKRDPFile::RebuildTree()
{
    TKTreeLock lock;
    m_root->SetCount(0);
    m_root->SetName(ExtractFileName(FileName()));
    TKDataBranch* branch = nullptr;
    int branchLayer = -1;
    for (int i = 0; i < Count(); ++i) {
        TKRDPLayer* layer = m_layers[std::size_t(i)];
        if (!layer) continue;
        if (!branch || branchLayer != layer->m_fileLayer) {
            branchLayer = layer->m_fileLayer;
            branch = TKDataBranch::NewNamed("Layer " + std::to_string(branchLayer + 1));
            m_root->AddChild(branch);
        }
        const TKData data = TKData::OfObject(layer);
        // A layer is named by its place in the file, as the user picked it ("Layer 2.Real"),
        // so that editors showing the layer's name show something the user recognises.
        if (!LayerCodeInfo(layer->m_code).complex) {
            branch->SetData(data);
            layer->SetName(branch->Name());
        } else {
            const char* part = layer->m_part == 0 ? "Real" : "Image";
            branch->AddChild(TKDataBranch::NewNamed(part, 0, data));
            layer->SetName(branch->Name() + "." + part);
        }
    }
}

void TKRDPFile::ReleaseView()
{
    if (!m_view && !m_mapping) return;
    for (TKRDPLayer* layer : m_layers)
        if (layer) layer->ClearData();
    if (m_view) UnmapViewOfFile(m_view);
    if (m_mapping) CloseHandle(m_mapping);
    m_view = nullptr;
    m_mapping = nullptr;
    m_size = 0;
    m_entries.clear();
}

void TKRDPFile::Unmap()
{
    TKObjectLock lock(*this);
    ReleaseView();
}

void TKRDPFile::EnsureMapped()
{
    TKObjectLock lock(*this);
    if (IsClosed() || m_view) return;
    MapFile();
}

void TKRDPFile::ReleaseIfUnused()
{
    TKObjectLock lock(*this);
    if (!IsMapped()) return;
    for (int i = 0; i < Count(); ++i)
        if (const TKRDPLayer* layer = m_layers[std::size_t(i)]; layer && layer->IsAccessed()) return;
    Unmap();
}

void TKRDPFile::Close(bool flag)
{
    if (!flag) return;
    TKObjectLock lock(*this);
    if (IsClosed()) return;
    InUpdate(*this, 0, [&] {
        SetClosed(true);
        StoreFileName({});
        m_badFormat = false;
        m_fileLayers = 0;
        m_version = 0;
        m_built = false;
        // What follows runs even when one of its steps raises.
        std::exception_ptr failure;
        try {
            Unmap();
        } catch (...) {
            failure = std::current_exception();
        }
        try {
            SetCount(0);
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
        {
            TKTreeLock treeLock;
            m_root->SetCount(0);
            m_root->SetName({});
        }
        if (failure) std::rethrow_exception(failure);
    });
}

TKFileLayerKeeper* CreateRDPFileKeeper(const std::string& fileName)
{
    std::string extension = ExtractFileExt(fileName);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".rdp" ? TKRDPFile::New(nullptr) : nullptr;
}
