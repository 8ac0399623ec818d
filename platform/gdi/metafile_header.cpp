#include <cstring>

#include <QByteArray>
#include <QImage>

#include "platform/gdi/metafile.h"
#include "platform/gdi/gdi_internal.h"
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
    if (format == CF_BITMAP) {
        auto bitmap = FindAs<BitmapObj>(static_cast<HBITMAP>(data));
        if (!bitmap || bitmap->bitCount != 32 || !bitmap->bits || bitmap->width <= 0 || bitmap->height <= 0)
            return nullptr;
        QImage image(bitmap->width, bitmap->height, QImage::Format_RGB32);
        for (int y = 0; y < bitmap->height; ++y)
            std::memcpy(image.scanLine(y), bitmap->PictureRow(y), std::size_t(bitmap->width) * 4);
        return platform::SetClipboardImage(image) ? data : nullptr;
    }
    if (format != CF_ENHMETAFILE) return nullptr;
    auto recording = static_cast<HENHMETAFILE>(data);
    if (!FindAs<MetaFileData>(recording)) return nullptr;
    const std::string svg = GetEnhMetaFileSvg(recording);
    return platform::SetClipboardDrawing(QByteArray::fromStdString(svg)) ? data : nullptr;
}
