#include <QByteArray>
#include <gtest/gtest.h>

#include "platform/gdi/gdi.h"
#include "platform/shell/clipboard.h"

TEST(MetaFileHeader, BoundsAndClipboardOfARecording)
{
    HDC dc = CreateEnhMetaFile(nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(dc, nullptr);
    const RECT box{10, 20, 30, 25};
    HBRUSH brush = CreateSolidBrush(RGB(200, 0, 0));
    FillRect(dc, &box, brush);
    DeleteObject(brush);
    HENHMETAFILE recording = CloseEnhMetaFile(dc);
    ASSERT_NE(recording, nullptr);

    ENHMETAHEADER header{};
    ASSERT_EQ(GetEnhMetaFileHeader(recording, sizeof header, &header), sizeof header);
    EXPECT_EQ(header.iType, EMR_HEADER);
    EXPECT_EQ(header.rclBounds.left, 10);
    EXPECT_EQ(header.rclBounds.top, 20);
    EXPECT_EQ(header.rclBounds.right, 29) << "right and bottom are included";
    EXPECT_EQ(header.rclBounds.bottom, 24);
    EXPECT_EQ(header.nRecords, 1u);
    EXPECT_EQ(GetEnhMetaFileHeader(recording, 0, nullptr), sizeof header) << "the size alone";

    HENHMETAFILE empty = CloseEnhMetaFile(CreateEnhMetaFile(nullptr, nullptr, nullptr, nullptr));
    ASSERT_EQ(GetEnhMetaFileHeader(empty, sizeof header, &header), sizeof header);
    EXPECT_LT(header.rclBounds.right, header.rclBounds.left) << "nothing drawn";
    EXPECT_EQ(GetEnhMetaFileHeader(nullptr, sizeof header, &header), 0u);

    EXPECT_EQ(SetClipboardData(CF_ENHMETAFILE, recording), nullptr) << "no change open";
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    EXPECT_EQ(SetClipboardData(CF_ENHMETAFILE + 1, recording), nullptr) << "other formats are not taken";
    EXPECT_EQ(SetClipboardData(CF_ENHMETAFILE, nullptr), nullptr);
    EXPECT_EQ(SetClipboardData(CF_ENHMETAFILE, recording), recording);
    ASSERT_TRUE(CloseClipboard());
    EXPECT_TRUE(platform::ClipboardDrawing().contains("<svg"));
    // The recording stays the caller's and is still whole.
    ASSERT_EQ(GetEnhMetaFileHeader(recording, sizeof header, &header), sizeof header);
    EXPECT_EQ(header.nRecords, 1u);
    DeleteEnhMetaFile(recording);
    DeleteEnhMetaFile(empty);
}
