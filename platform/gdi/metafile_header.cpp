#include <QByteArray>

#include "platform/gdi/metafile.h"
#include "platform/gdi/metafile_internal.h"
#include "platform/shell/clipboard.h"

using namespace platform::gdi;

UINT GetEnhMetaFileHeader(HENHMETAFILE metafile, UINT size, ENHMETAHEADER* header)
{
    auto data = FindAs<MetaFileData>(metafile);
    if (!data) return 0;
    if (header && size >= sizeof(ENHMETAHEADER)) {
        const RECT b = data->Bounds();
        const bool empty = b.right <= b.left || b.bottom <= b.top;
        header->iType = EMR_HEADER;
        header->nSize = sizeof(ENHMETAHEADER);
        header->rclBounds = empty ? RECT{0, 0, -1, -1} : RECT{b.left, b.top, b.right - 1, b.bottom - 1};
        // The layer keeps recordings at 96 pixels per inch: 2540 / 96 hundredths of a millimetre per pixel.
        auto hmm = [](LONG px) { return LONG((std::int64_t(px) * 2540 + 48) / 96); };
        header->rclFrame = {hmm(b.left), hmm(b.top), hmm(b.right), hmm(b.bottom)};
        header->nRecords = static_cast<DWORD>(data->records.size());
    }
    return sizeof(ENHMETAHEADER);
}

HANDLE SetClipboardData(UINT format, HANDLE data)
{
    if (format != CF_ENHMETAFILE) return nullptr;
    auto recording = static_cast<HENHMETAFILE>(data);
    if (!FindAs<MetaFileData>(recording)) return nullptr;
    const std::string svg = GetEnhMetaFileSvg(recording);
    return platform::SetClipboardDrawing(QByteArray::fromStdString(svg)) ? data : nullptr;
}
