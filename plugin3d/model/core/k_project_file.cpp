#include "plugin3d/model/core/k_project_file.h"

#include "plugin3d/model/core/k_project.h"
#include "plugin3d/model/core/k_strings.h"

std::int32_t TKBlockReader::Int32()
{
    std::int32_t v;
    std::memcpy(&v, Bytes(4), 4);
    return v;
}

std::string TKBlockReader::String()
{
    if (Left() < 4) RaiseProjectFormatError();
    std::string s;
    m_position += ReadStringFromBuffer(m_data + m_position, static_cast<std::size_t>(Left()), s);
    return s;
}

const std::uint8_t* TKBlockReader::Bytes(std::int64_t count)
{
    if (count < 0 || count > Left()) RaiseProjectFormatError();
    const std::uint8_t* at = m_data + m_position;
    m_position += count;
    return at;
}

void TKBlockReader::Seek(std::int64_t position)
{
    if (position < 0 || position > m_size) RaiseProjectFormatError();
    m_position = position;
}

void TKBlockWriter::String(const std::string& s)
{
    const std::size_t at = m_bytes.size();
    m_bytes.resize(at + static_cast<std::size_t>(WriteStringToBuffer(nullptr, s)));
    WriteStringToBuffer(m_bytes.data() + at, s);
}

std::int64_t ClassTreeBytes(TKDataBranch* root)
{
    std::int64_t bytes = 0;
    ForEachNodeDepthFirst(root, [&](TKDataBranch* node) {
        bytes += kClassNodeBytes + WriteStringToBuffer(nullptr, node->Name()) - 4;
    });
    return bytes;
}
