#include <QByteArray>

#include "platform/gdi/gdi_objects.h"
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
    if (format == CF_BITMAP) {
        auto bitmap = static_cast<HBITMAP>(data);
        BITMAP bm{};
        if (!bitmap || !GetObject(bitmap, sizeof bm, &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0)
            return nullptr;
        QImage image(bm.bmWidth, bm.bmHeight, QImage::Format_RGB32);
        if (image.isNull()) return nullptr;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = bm.bmWidth;
        info.bmiHeader.biHeight = -bm.bmHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        if (GetDIBits(nullptr, bitmap, 0, UINT(bm.bmHeight), image.bits(), &info, DIB_RGB_COLORS) !=
            bm.bmHeight)
            return nullptr;
        return platform::SetClipboardImage(image) ? data : nullptr;
    }
    if (format != CF_ENHMETAFILE) return nullptr;
    auto recording = static_cast<HENHMETAFILE>(data);
    if (!FindAs<MetaFileData>(recording)) return nullptr;
    const std::string svg = GetEnhMetaFileSvg(recording);
    return platform::SetClipboardDrawing(QByteArray::fromStdString(svg)) ? data : nullptr;
}
