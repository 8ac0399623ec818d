#include "outside/basecore/coord_law_data.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "outside/basecore/geo_tags.h"
#include "outside/basecore/rdp_layer.h"
#include "outside/basecore/tags.h"
#include "tests/support/test_environment.h"

namespace {

using Bytes = std::vector<BYTE>;
using tarvenix::test::TempDir;

void Put32(Bytes& b, size_t at, std::int32_t v)
{
    std::memcpy(b.data() + at, &v, 4);
}
void Put64(Bytes& b, size_t at, double v)
{
    std::memcpy(b.data() + at, &v, 8);
}
double Get64(const Bytes& b, size_t at)
{
    double v;
    std::memcpy(&v, b.data() + at, 8);
    return v;
}

std::string MakeLayer(const TempDir& dir, const char* name, int width, int height)
{
    const std::string path = dir.File(name);
    CRDPLayer layer;
    EXPECT_TRUE(layer.CreateLayer(path.c_str(), width, height, 7, 7));
    EXPECT_TRUE(layer.CloseLayer());
    return path;
}

Bytes LawRecord(double kx, double bx, double ky, double by)
{
    Bytes b(40, 0);
    Put32(b, 0, 40);
    Put32(b, 4, 1);
    Put64(b, 8, kx);
    Put64(b, 16, bx);
    Put64(b, 24, ky);
    Put64(b, 32, by);
    return b;
}

void ExpectPoint(const CPointT<double>& p, double x, double y, double tol = 1e-9)
{
    EXPECT_NEAR(p.x, x, tol);
    EXPECT_NEAR(p.y, y, tol);
}

/// The geographic records of `path`, read from the closed file; the same file opened as a
/// layer must give the same records.
SGeoTags ReadGeoTagsBothWays(const std::string& path)
{
    SGeoTags closed, open;
    const BOOL found = ReadGeoTags(path.c_str(), &closed);
    CRDPLayer layer;
    EXPECT_NE(layer.OpenLayer(path.c_str(), kOpenReadOnly), nullptr);
    EXPECT_EQ(ReadGeoTags(layer, &open), found);
    EXPECT_EQ(open.hasPoints, closed.hasPoints);
    EXPECT_EQ(open.hasRasterSize, closed.hasRasterSize);
    EXPECT_EQ(open.hasTransform, closed.hasTransform);
    EXPECT_EQ(open.hasReadout, closed.hasReadout);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(open.points[i], closed.points[i]);
    EXPECT_EQ(open.width, closed.width);
    EXPECT_EQ(open.height, closed.height);
    EXPECT_EQ(open.transform, closed.transform);
    EXPECT_EQ(open.transformVersion, closed.transformVersion);
    EXPECT_EQ(open.compact, closed.compact);
    return closed;
}

// Geographic records as the programs that write them lay them out.
Bytes Points(const CPointT<double> lonLat[3])
{
    Bytes b(72, 0);
    Put32(b, 0, 1);
    Put32(b, 4, 2);
    for (int i = 0; i < 3; ++i) {
        Put64(b, 8 + 16 * i, lonLat[i].y);  // latitude first
        Put64(b, 16 + 16 * i, lonLat[i].x);
    }
    return b;
}
Bytes RasterSize(int w, int h)
{
    Bytes b(24, 0);
    Put32(b, 0, 1);
    Put32(b, 4, 1);
    Put32(b, 8, w);
    Put32(b, 12, h);
    return b;
}
Bytes Transform308(const TransformMatrix& m)
{
    Bytes b(56, 0);
    Put32(b, 0, 1);
    Put32(b, 4, 3);
    const double v[6] = {m.m11, m.m12, m.m21, m.m22, m.dx, m.dy};
    for (int i = 0; i < 6; ++i) Put64(b, 8 + 8 * i, v[i]);
    return b;
}

const CPointT<double> kGeo[3] = {{30.0, 60.0}, {31.0, 60.0}, {30.0, 59.5}};

}  // namespace

TEST(CoordLaw, ManualLawPutsTheRangeOnTheFirstAndLastPixel)
{
    CCoordLawData law;
    ExpectPoint(law.GetLogicalCoord(3, 4), 3, 4);
    double hx = 0, hy = 0;
    EXPECT_FALSE(law.GetPixelSize(hx, hy));
    EXPECT_EQ(hx, 1.0);

    ASSERT_EQ(law.SetDataManual(101, 51, 10.0, 20.0, 5.0, -5.0), 1);
    ExpectPoint(law.GetLogicalCoord(0, 0), 10, 5);
    ExpectPoint(law.GetLogicalCoord(CPoint(100, 50)), 20, -5);
    ExpectPoint(law.GetFileCoord(15, 0), 50, 25);
    EXPECT_TRUE(law.GetPixelSize(hx, hy));
    EXPECT_DOUBLE_EQ(hx, 0.1);
    EXPECT_DOUBLE_EQ(hy, 0.2);

    // Refused: the law stays as it was.
    EXPECT_EQ(law.SetDataManual(0, 10, 0, 1, 0, 1), 0);
    EXPECT_EQ(law.SetDataManual(10, 10, 3, 3, 0, 1), 0) << "empty range";
    EXPECT_EQ(law.SetDataManual(10, 10, 0, std::nan(""), 0, 1), 0);
    ExpectPoint(law.GetLogicalCoord(100, 50), 20, -5);
    // One pixel wide: to - from is its size.
    ASSERT_EQ(law.SetDataManual(1, 1, 2, 5, 0, 1), 1);
    ExpectPoint(law.GetLogicalCoord(1, 1), 5, 1);
}

TEST(CoordLaw, SavedLawIsReadBackFromItsTag)
{
    TempDir dir;
    const std::string path = MakeLayer(dir, "hist.rdp", 256, 1);
    CCoordLawData law;
    // The histogram's columns run from the data minimum to its maximum, its rows 0 to 1.
    ASSERT_TRUE(law.SaveData(path.c_str(), -1.0, 3.0, 0.0, 1.0));
    Bytes tag(40);
    ASSERT_EQ(GetSizeTag(path.c_str(), TAG_COORD_LAW), 40);
    ASSERT_TRUE(GetTag(path.c_str(), TAG_COORD_LAW, 40, tag.data()));
    EXPECT_EQ(tag[0], 40);
    EXPECT_EQ(tag[4], 1);
    EXPECT_EQ(Get64(tag, 8), 4.0 / 256);
    EXPECT_EQ(Get64(tag, 16), -1.0);
    EXPECT_EQ(Get64(tag, 24), 1.0);
    EXPECT_EQ(Get64(tag, 32), 0.0);

    CCoordLawData back;
    ASSERT_TRUE(back.LoadData(path.c_str()));
    ExpectPoint(back.GetLogicalCoord(0, 0), -1, 0);
    ExpectPoint(back.GetLogicalCoord(256, 1), 3, 1);
    {
        CRDPLayer layer;
        ASSERT_NE(layer.OpenLayer(path.c_str(), kOpenReadOnly), nullptr);
        CCoordLawData open;
        ASSERT_TRUE(open.LoadData(layer));
        ExpectPoint(open.GetLogicalCoord(256, 1), 3, 1);
    }

    // A frequency law given by its coefficients.
    ASSERT_TRUE(back.SaveDataKt(path.c_str(), 0.5, -32.0, -2.0, 8.0));
    CCoordLawData kt;
    ASSERT_TRUE(kt.LoadData(path.c_str()));
    ExpectPoint(kt.GetLogicalCoord(64, 1), 0, 6);

    EXPECT_FALSE(kt.SaveDataKt(path.c_str(), 0.0, 1, 1, 1)) << "a zero scale";
    EXPECT_FALSE(kt.SaveData(dir.File("none.rdp").c_str(), 0, 1, 0, 1));
    EXPECT_FALSE(kt.SaveData(path.c_str(), 2, 2, 0, 1));
    ExpectPoint(kt.GetLogicalCoord(64, 1), 0, 6);  // refusals keep the law
}

struct BadLaw {
    const char* what;
    Bytes record;
};

class CoordLawRejects : public ::testing::TestWithParam<BadLaw> {};

TEST_P(CoordLawRejects, DamagedTagGivesPixelCoordinates)
{
    TempDir dir;
    const std::string path = MakeLayer(dir, "damaged.rdp", 8, 8);
    if (!GetParam().record.empty()) {
        ASSERT_TRUE(
            SetTag(path.c_str(), TAG_COORD_LAW, int(GetParam().record.size()), GetParam().record.data()));
    }
    CCoordLawData law;
    law.SetDataManual(8, 8, 100, 200, 100, 200);
    EXPECT_FALSE(law.LoadData(path.c_str()));
    EXPECT_FALSE(law.IsLawSet());
    ExpectPoint(law.GetLogicalCoord(3, 4), 3, 4);

    // The same from the file opened as a layer.
    CRDPLayer layer;
    ASSERT_NE(layer.OpenLayer(path.c_str(), kOpenReadOnly), nullptr);
    law.SetDataManual(8, 8, 100, 200, 100, 200);
    EXPECT_FALSE(law.LoadData(layer));
    EXPECT_FALSE(law.IsLawSet());
}

INSTANTIATE_TEST_SUITE_P(Malformed, CoordLawRejects,
                         ::testing::Values(BadLaw{"NoTag", {}},
                                           BadLaw{"Short",
                                                  [] {
                                                      Bytes b = LawRecord(1, 0, 1, 0);
                                                      b.resize(36);
                                                      return b;
                                                  }()},
                                           BadLaw{"Longer",
                                                  [] {
                                                      Bytes b = LawRecord(1, 0, 1, 0);
                                                      b.resize(48);
                                                      return b;
                                                  }()},
                                           BadLaw{"OtherFormat",
                                                  [] {
                                                      Bytes b = LawRecord(1, 0, 1, 0);
                                                      Put32(b, 4, 2);
                                                      return b;
                                                  }()},
                                           BadLaw{"SizeWord",
                                                  [] {
                                                      Bytes b = LawRecord(1, 0, 1, 0);
                                                      Put32(b, 0, 0);
                                                      return b;
                                                  }()},
                                           BadLaw{"ZeroScale", LawRecord(0, 0, 1, 0)},
                                           BadLaw{"NotFinite", LawRecord(1, std::nan(""), 1, 0)}),
                         [](const auto& info) { return std::string(info.param.what); });

TEST(CoordLaw, MissingFileGivesPixelCoordinates)
{
    TempDir dir;
    CCoordLawData law;
    EXPECT_FALSE(law.LoadData(dir.File("absent.rdp").c_str()));
    EXPECT_FALSE(law.LoadData(nullptr));
    ExpectPoint(law.GetLogicalCoord(7, 9), 7, 9);
}

TEST(GeoTags, ReadAndBuildTheGeographicTransform)
{
    TempDir dir;
    const std::string path = MakeLayer(dir, "geo.rdp", 400, 200);
    SGeoTags tags;
    tags = ReadGeoTagsBothWays(path);
    EXPECT_FALSE(tags.hasPoints || tags.hasRasterSize || tags.hasTransform || tags.hasReadout);
    TransformMatrix m;
    EXPECT_FALSE(MakeGeoTransform(tags, &m));
    EXPECT_EQ(tags.transform, TransformMatrix()) << "absent records read as zero / identity";

    ASSERT_TRUE(SetTag(path.c_str(), TAG_GEO_POINTS, 72, Points(kGeo).data()));
    ASSERT_TRUE(SetTag(path.c_str(), TAG_GEO_RASTER_SIZE, 24, RasterSize(800, 400).data()));
    Bytes readout(12, 0);
    Put32(readout, 0, 1);
    Put32(readout, 8, 1);
    ASSERT_TRUE(SetTag(path.c_str(), TAG_GEO_READOUT, 12, readout.data()));
    tags = ReadGeoTagsBothWays(path);
    ASSERT_TRUE(tags.hasPoints);
    EXPECT_TRUE(tags.hasPoints && tags.hasRasterSize && tags.hasReadout);
    EXPECT_FALSE(tags.hasTransform);
    EXPECT_EQ(tags.points[1], CPointT<double>(31.0, 60.0));
    EXPECT_EQ(tags.compact, 1);
    ASSERT_TRUE(MakeGeoTransform(tags, &m));
    CPointT<double> lonLat;
    ASSERT_TRUE(InverseTransformPoint(m, {800, 0}, &lonLat));
    ExpectPoint(lonLat, 31.0, 60.0);

    // The shown picture is the raster at half size (tag 308).
    TransformMatrix half;
    half.m11 = half.m22 = 0.5;
    ASSERT_TRUE(SetTag(path.c_str(), TAG_GEO_TRANSFORM, 56, Transform308(half).data()));
    tags = ReadGeoTagsBothWays(path);
    ASSERT_TRUE(tags.hasPoints);
    ASSERT_TRUE(MakeGeoTransform(tags, &m));
    ASSERT_TRUE(InverseTransformPoint(m, {200, 100}, &lonLat));
    ExpectPoint(lonLat, 30.5, 59.75);

    // Damaged records count as absent, and no transform is made without them.
    Bytes badSize = RasterSize(0, 400);
    ASSERT_TRUE(SetTag(path.c_str(), TAG_GEO_RASTER_SIZE, 24, badSize.data()));
    Bytes invalid = Points(kGeo);
    Put32(invalid, 0, 0);
    ASSERT_TRUE(SetTag(path.c_str(), TAG_GEO_POINTS, 72, invalid.data()));
    Bytes nan = Transform308(half);
    Put64(nan, 8, std::nan(""));
    ASSERT_TRUE(SetTag(path.c_str(), TAG_GEO_TRANSFORM, 56, nan.data()));
    ASSERT_TRUE(SetTag(path.c_str(), TAG_GEO_READOUT, 8, readout.data()));
    tags = ReadGeoTagsBothWays(path);
    EXPECT_FALSE(tags.hasPoints || tags.hasRasterSize || tags.hasTransform || tags.hasReadout);
    EXPECT_EQ(tags.points[0], CPointT<double>());
    EXPECT_EQ(tags.transform, TransformMatrix());
    EXPECT_FALSE(MakeGeoTransform(tags, &m));

    // Points on one line give no transform.
    const CPointT<double> line[3] = {{30, 60}, {31, 61}, {32, 62}};
    ASSERT_TRUE(SetTag(path.c_str(), TAG_GEO_POINTS, 72, Points(line).data()));
    ASSERT_TRUE(SetTag(path.c_str(), TAG_GEO_RASTER_SIZE, 24, RasterSize(800, 400).data()));
    tags = ReadGeoTagsBothWays(path);
    EXPECT_FALSE(MakeGeoTransform(tags, &m));
}

TEST(SubsetTransform, ASavedPartContinuesTheSourcesCoordinates)
{
    TempDir dir;
    const std::string source = MakeLayer(dir, "source.rdp", 300, 200);
    CCoordLawData law;
    ASSERT_TRUE(law.SaveDataKt(source.c_str(), 0.5, 100.0, -2.0, 7.0));
    ASSERT_TRUE(SetTag(source.c_str(), TAG_GEO_POINTS, 72, Points(kGeo).data()));
    ASSERT_TRUE(SetTag(source.c_str(), TAG_GEO_RASTER_SIZE, 24, RasterSize(300, 200).data()));

    const std::string part = MakeLayer(dir, "part.rdp", 40, 30);
    ASSERT_TRUE(CopyTag(part.c_str(), source.c_str()));  // as the save job does first
    ASSERT_TRUE(SaveSubsetTransform(POINT{10, 20}, source.c_str(), part.c_str()));

    CCoordLawData partLaw;
    ASSERT_TRUE(partLaw.LoadData(part.c_str()));
    for (CPoint p : {CPoint(0, 0), CPoint(3, 4), CPoint(39, 29)}) {
        SCOPED_TRACE(p.x);
        const CPointT<double> inSource = law.GetLogicalCoord(p.x + 10, p.y + 20);
        ExpectPoint(partLaw.GetLogicalCoord(p), inSource.x, inSource.y);
    }

    SGeoTags sourceTags, partTags;
    ReadGeoTags(source.c_str(), &sourceTags);
    ReadGeoTags(part.c_str(), &partTags);
    EXPECT_TRUE(partTags.hasTransform);
    TransformMatrix ms, mp;
    ASSERT_TRUE(MakeGeoTransform(sourceTags, &ms));
    ASSERT_TRUE(MakeGeoTransform(partTags, &mp));
    CPointT<double> a, b;
    ASSERT_TRUE(InverseTransformPoint(ms, {15, 27}, &a));
    ASSERT_TRUE(InverseTransformPoint(mp, {5, 7}, &b));
    ExpectPoint(b, a.x, a.y);

    // A part of a part keeps going; a source without a law gives the source's pixel coordinates.
    const std::string plain = MakeLayer(dir, "plain.rdp", 50, 50);
    const std::string cut = MakeLayer(dir, "cut.rdp", 5, 5);
    ASSERT_TRUE(SaveSubsetTransform(POINT{12, 3}, plain.c_str(), cut.c_str()));
    CCoordLawData cutLaw;
    ASSERT_TRUE(cutLaw.LoadData(cut.c_str()));
    ExpectPoint(cutLaw.GetLogicalCoord(1, 1), 13, 4);
    SGeoTags none;
    EXPECT_FALSE(ReadGeoTags(cut.c_str(), &none)) << "no geographic reference is invented";
    EXPECT_FALSE(SaveSubsetTransform(POINT{0, 0}, plain.c_str(), dir.File("absent.rdp").c_str()));
}
