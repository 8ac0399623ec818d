// DXF drawings to and from vector overlays: the writer's exact bytes, reading back, other
// programs' drawings (through an independent DXF library when it is installed), damaged and
// truncated files, and a file that reading never changes.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>

#include "tests/support/test_environment.h"
#include "tests/viewer/core/vector_overlay_support.h"
#include "viewer/core/dxf_exchange.h"
#include "viewer/core/vector_image.h"

using namespace overlaytest;
using tarvenix::test::ReadWholeFile;
using tarvenix::test::TempDir;
using tarvenix::test::WriteWholeFile;

namespace {

using Lines = std::vector<std::vector<Node>>;

class Dxf : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(MakeLayerFile(layerPath));
        ASSERT_EQ(target.Create(layerPath.c_str(), 0), 1);
        target.AddLayer(0xFF);
    }
    /// Reads `text` as a file into layer 0 of the target.
    int Read(const std::string& text)
    {
        WriteWholeFile(dxfPath, text);
        return DXFToVector(&target, dxfPath.c_str(), 0);
    }
    LayerContent Got() { return Content(target)[0]; }

    TempDir dir;
    std::string layerPath = dir.File("picture.rdp");
    std::string dxfPath = dir.File("drawing.dxf");
    CVectorImage target;
};

std::string Crlf(const std::string& lf)
{
    std::string out;
    for (char c : lf) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

TEST_F(Dxf, TheWriterWritesTheDrawingByteForByteWithCrLfLineEnds)
{
    CVectorImage image;
    ASSERT_EQ(image.Create(layerPath.c_str(), 0), 1);
    image.AddLayer(0x123456);
    image.Add(0, *LineOf({{0, 0}, {1.5f, 2}, {1234.5678f, -0.25f}}));
    image.Add(0, Point{7.25f, 1e-7f, 0});
    ASSERT_EQ(VectorToDXF(dxfPath.c_str(), &image, 640, 480, -1), 1);
    const std::string expected = Crlf(
        "  0\nSECTION\n  2\nHEADER\n"
        "  9\n$ACADVER\n  1\nAC1006\n"
        "  9\n$ANGBASE\n  50\n0.0\n"
        "  9\n$ANGDIR\n  70\n0\n"
        "  9\n$AUNITS\n  70\n0\n"
        "  9\n$AUPREC\n  70\n0\n"
        "  9\n$COORDS\n  70\n0\n"
        "  9\n$LIMMIN\n  10\n0\n  20\n0\n"
        "  9\n$LIMMAX\n  10\n640\n  20\n480\n"
        "  0\nENDSEC\n  0\nSECTION\n  2\nTABLES\n"
        "  0\nTABLE\n  2\nLAYER\n 70\n    1\n"
        "  0\nLAYER\n  2\n0\n  70\n  0\n  62\n  1\n  6\nCONTINUOUS\n"
        "  0\nENDTAB\n"
        "  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n"
        "  0\nLINE\n  8\n0\n  10\n0\n  20\n0\n  30\n0.0\n  11\n1.5\n  21\n2\n  31\n0.0\n"
        "  0\nLINE\n  8\n0\n  10\n1.5\n  20\n2\n  30\n0.0\n  11\n1234.57\n  21\n-0.25\n  31\n0.0\n"
        "  0\nPOINT\n  8\n0\n  10\n7.25\n  20\n1e-07\n  30\n0.0\n"
        "  0\nENDSEC\n  0\nEOF\n");
    EXPECT_EQ(ReadWholeFile(dxfPath), expected);

    // One layer of several; a layer of one vertex writes no segment.
    image.AddLayer(0);
    image.Add(1, *LineOf({{9, 9}}));
    image.Add(1, Point{3, 4, 0});
    ASSERT_EQ(VectorToDXF(dxfPath.c_str(), &image, 1, 1, 1), 1);
    const std::string one = ReadWholeFile(dxfPath);
    const std::string entities = one.substr(one.find("ENTITIES"));
    EXPECT_EQ(entities,
              Crlf("ENTITIES\n  0\nPOINT\n  8\n1\n  10\n3\n  20\n4\n  30\n0.0\n  0\nENDSEC\n  0\nEOF\n"));
}

TEST_F(Dxf, NineLayersGetTheSevenColourNumbersInTurn)
{
    CVectorImage image;
    ASSERT_EQ(image.Create(layerPath.c_str(), 0), 1);
    for (int n = 0; n < 9; ++n) image.AddLayer(0xABCDEF);
    ASSERT_EQ(VectorToDXF(dxfPath.c_str(), &image, 10, 10, -1), 1);
    const std::string text = ReadWholeFile(dxfPath);
    std::vector<int> colours;
    for (std::size_t at = text.find("  62\r\n  "); at != std::string::npos;
         at = text.find("  62\r\n  ", at + 1))
        colours.push_back(std::atoi(text.c_str() + at + 8));
    EXPECT_EQ(colours, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 1, 2}));
}

TEST_F(Dxf, AWrittenDrawingReadsBackAsPointsAndTwoVertexLines)
{
    CVectorImage image;
    ASSERT_EQ(image.Create(layerPath.c_str(), 0), 1);
    image.AddLayer(1);
    image.AddLayer(2);
    image.Add(0, *LineOf({{1, 2}, {3, 4}, {5, 6}}));
    image.Add(1, *LineOf({{100.125f, 7}, {0.333333f, 8}}));
    image.Add(0, Point{1234.5678f, 9, 0});
    image.Add(1, Point{-5, -6, 0});
    ASSERT_EQ(VectorToDXF(dxfPath.c_str(), &image, 10, 10, -1), 1);
    const std::string before = ReadWholeFile(dxfPath);
    const auto stamp = std::filesystem::last_write_time(dxfPath);
    ASSERT_EQ(DXFToVector(&target, dxfPath.c_str(), 0), 1);
    EXPECT_EQ(Got().points, (std::vector<Node>{{1234.57f, 9}, {-5, -6}}));
    EXPECT_EQ(Got().lines, (Lines{{{1, 2}, {3, 4}}, {{3, 4}, {5, 6}}, {{100.125f, 7}, {0.333333f, 8}}}));
    EXPECT_EQ(ReadWholeFile(dxfPath), before) << "reading never changes the file";
    EXPECT_EQ(std::filesystem::last_write_time(dxfPath), stamp);
}

TEST_F(Dxf, LetterCaseAndLineEndsDoNotMatterAndAMissingSectionGivesNothing)
{
    const std::string lower =
        "0\nsection\n2\nentities\n0\npoint\n8\n0\n10\n1.5\n20\n2."
        "5\n0\nline\n8\n0\n10\n1\n20\n2\n11\n3\n21\n4\n"
        "0\nendsec\n0\neof\n";
    std::string upper = lower;
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    const LayerContent expected{0xFF, {{1.5f, 2.5f}}, {{{1, 2}, {3, 4}}}};
    for (const std::string& text : {lower, upper, Crlf(lower), Crlf(upper)}) {
        target.Destroy();
        ASSERT_EQ(target.Create(layerPath.c_str(), 0), 1);
        target.AddLayer(0xFF);
        EXPECT_EQ(Read(text), 1);
        EXPECT_EQ(Got(), expected);
    }

    struct Case {
        const char* what;
        std::string text;
        int result;
        LayerContent content;
    };
    const Case cases[] = {
        {"empty file", "", 0, {0xFF, {}, {}}},
        {"no entities section",
         "  0\nSECTION\n  2\nHEADER\n  0\nPOINT\n 10\n1\n 20\n2\n  0\nENDSEC\n",
         0,
         {0xFF, {}, {}}},
        {"only points",
         Crlf("  0\nSECTION\n  2\nENTITIES\n  0\nPOINT\n  8\n0\n  10\n4\n  20\n5\n  0\nENDSEC\n"),
         1,
         {0xFF, {{4, 5}}, {}}},
        {"ends after the section name", "  0\nSECTION\n  2\nENTITIES", 1, {0xFF, {}, {}}},
        {"ends after POINT", "  0\nSECTION\n  2\nENTITIES\n  0\nPOINT", 1, {0xFF, {}, {}}},
        {"ends after the x code", "  0\nSECTION\n  2\nENTITIES\n  0\nPOINT\n 10", 1, {0xFF, {}, {}}},
        {"ends after a whole point",
         "  0\nSECTION\n  2\nENTITIES\n  0\nPOINT\n 10\n1\n 20\n2",
         1,
         {0xFF, {{1, 2}}, {}}},
        {"a value line that is not a whole number",
         "  0\nSECTION\n  2\nENTITIES\n  0\nPOINT\n 10\n12abc\n 20\n2\n  0\nPOINT\n 10\n3\n 20\n4\n",
         1,
         {0xFF, {{3, 4}}, {}}},
        {"a value no float holds",
         "  0\nSECTION\n  2\nENTITIES\n  0\nPOINT\n 10\n1e300\n 20\n2\n  0\nPOINT\n 10\nnan\n 20\n2\n",
         1,
         {0xFF, {}, {}}},
        {"a line without its end",
         "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n 10\n1\n 20\n2\n 11\n3\n  0\nENDSEC\n",
         1,
         {0xFF, {}, {}}},
        {"a code line that is no number ends the reading",
         "  0\nSECTION\n  2\nENTITIES\n  0\nPOINT\n 10\n1\n 20\n2\nxx\n0\n  0\nPOINT\n 10\n3\n 20\n4\n",
         1,
         {0xFF, {{1, 2}}, {}}},
        {"entities after the section are not read",
         "  0\nSECTION\n  2\nENTITIES\n  0\nENDSEC\n  0\nSECTION\n  2\nBLOCKS\n  0\nPOINT\n 10\n1\n 20\n2\n",
         1,
         {0xFF, {}, {}}},
        {"the word alone is no section",
         "999\nthe entities are below\n  0\nPOINT\n 10\n1\n 20\n2\n",
         0,
         {0xFF, {}, {}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        target.Destroy();
        ASSERT_EQ(target.Create(layerPath.c_str(), 0), 1);
        target.AddLayer(0xFF);
        EXPECT_EQ(Read(c.text), c.result);
        EXPECT_EQ(Got(), c.content);
    }
}

TEST_F(Dxf, ADrawingOfAnotherProgramGivesItsPointsAndLinesOnly)
{
    // A polyline whose name holds "line", handles and layer names holding "8" and "10",
    // extra groups in any order: only the LINE and the POINT are taken.
    const std::string text = Crlf(
        "  0\nSECTION\n  2\nENTITIES\n"
        "  0\nPOLYLINE\n  5\n8A\n  8\nWALLS10\n 66\n1\n 10\n0.0\n 20\n0.0\n 30\n0.0\n"
        "  0\nVERTEX\n  5\n8B\n  8\nWALLS10\n 10\n11\n 20\n21\n 30\n0.0\n"
        "  0\nSEQEND\n  5\n8C\n  8\nWALLS10\n"
        "  0\nLINE\n  5\n8D\n  8\n0\n 62\n3\n 11\n30.5\n 21\n40.5\n 31\n0.0\n 10\n10.5\n 20\n20.5\n 30\n0.0\n"
        "  0\nCIRCLE\n  8\n0\n 10\n1\n 20\n2\n 40\n5\n"
        "  0\nPOINT\n  5\n8E\n  8\nPOINTS\n 10\n-7\n 20\n8\n 30\n0.0\n"
        "  0\nENDSEC\n  0\nEOF\n");
    EXPECT_EQ(Read(text), 1);
    EXPECT_EQ(Got(), (LayerContent{0xFF, {{-7, 8}}, {{{10.5f, 20.5f}, {30.5f, 40.5f}}}}));
}

TEST_F(Dxf, FailuresAreReportedAndLeaveNothingBehind)
{
    CVectorImage image;
    ASSERT_EQ(image.Create(layerPath.c_str(), 0), 1);
    image.AddLayer(1);
    EXPECT_EQ(VectorToDXF(dir.File("no/such/folder/x.dxf").c_str(), &image, 1, 1, -1), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("no")));
    EXPECT_EQ(VectorToDXF(dxfPath.c_str(), nullptr, 1, 1, -1), 0);

    const std::string text = "  0\nSECTION\n  2\nENTITIES\n  0\nPOINT\n 10\n1\n 20\n2\n";
    EXPECT_EQ(DXFToVector(&target, dir.File("missing.dxf").c_str(), 0), 0);
    WriteWholeFile(dxfPath, text);
    EXPECT_EQ(DXFToVector(&target, dxfPath.c_str(), 1), 0) << "a layer the overlay lacks";
    EXPECT_EQ(DXFToVector(nullptr, dxfPath.c_str(), 0), 0);
    CVectorImage closed;
    EXPECT_EQ(DXFToVector(&closed, dxfPath.c_str(), 0), 0);
    EXPECT_EQ(Got(), (LayerContent{0xFF, {}, {}}));
}

std::string Mutate(std::string s, std::mt19937& rng)
{
    const int edits = 1 + int(rng() % 4);
    static const char* const kPieces[] = {"\n",       "\r\n", " 10\n", "POINT", "LINE",
                                          "ENTITIES", "-",    "1e39",  "\0",    "8"};
    for (int e = 0; e < edits && !s.empty(); ++e) {
        const std::size_t at = rng() % s.size();
        switch (rng() % 4) {
            case 0:
                s[at] = char(rng());
                break;
            case 1:
                s.insert(at, kPieces[rng() % std::size(kPieces)]);
                break;
            case 2:
                s.erase(at, 1 + rng() % 12);
                break;
            default:
                s.resize(at);
                break;
        }
    }
    return s;
}

TEST_F(Dxf, FuzzedAndTruncatedDrawingsNeverReachOutsideTheText)
{
    CVectorImage image;
    ASSERT_EQ(image.Create(layerPath.c_str(), 0), 1);
    image.AddLayer(1);
    image.AddLayer(2);
    image.Add(0, *LineOf({{1, 2}, {3, 4}, {5, 6}}));
    image.Add(1, Point{7, 8, 0});
    ASSERT_EQ(VectorToDXF(dxfPath.c_str(), &image, 10, 10, -1), 1);
    const std::string seed = ReadWholeFile(dxfPath);
    std::mt19937 rng(141);
    int read = 0;
    for (int round = 0; round < 800; ++round) {
        // Every length of the seed, then random damage.
        const std::string text =
            round < int(seed.size()) / 4 ? seed.substr(0, std::size_t(round) * 4) : Mutate(seed, rng);
        target.Destroy();
        ASSERT_EQ(target.Create(layerPath.c_str(), 64), 1);
        target.AddLayer(0xFF);
        read += Read(text);
        const LayerContent c = Got();
        EXPECT_LE(c.points.size(), 2u);
        EXPECT_LE(c.lines.size(), 3u);
    }
    EXPECT_GT(read, 0);
}

// --- an independent reader and writer of DXF ------------------------------------------------

// Debian's own Python, which the python3-ezdxf package installs into.
bool HaveEzdxf()
{
    return std::system("/usr/bin/python3 -c 'import ezdxf' >/dev/null 2>&1") == 0;
}

std::string RunPython(const std::string& script, const std::string& scriptPath)
{
    WriteWholeFile(scriptPath, script);
    std::string out;
    if (FILE* p = ::popen(("/usr/bin/python3 " + scriptPath + " 2>&1").c_str(), "r")) {
        char buf[4096];
        while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

TEST_F(Dxf, AnIndependentDxfLibraryReadsTheWritersDrawingAndWritesDrawingsWeRead)
{
    if (!HaveEzdxf()) GTEST_SKIP() << "python3-ezdxf is not installed";
    CVectorImage image;
    ASSERT_EQ(image.Create(layerPath.c_str(), 0), 1);
    image.AddLayer(1);
    image.AddLayer(2);
    image.Add(0, *LineOf({{1.5f, 2}, {3, 4.25f}, {-5, 6}}));
    image.Add(1, Point{7, 8.5f, 0});
    image.Add(0, Point{100000, 0.001f, 0});
    ASSERT_EQ(VectorToDXF(dxfPath.c_str(), &image, 10, 10, -1), 1);
    const std::string listing = RunPython(
        "import ezdxf\n"
        "doc = ezdxf.readfile('" +
            dxfPath +
            "')\n"
            "for e in doc.modelspace():\n"
            "    t = e.dxftype()\n"
            "    if t == 'LINE':\n"
            "        print('LINE', e.dxf.layer, '%g %g %g %g' % (e.dxf.start.x, e.dxf.start.y, e.dxf.end.x, "
            "e.dxf.end.y))\n"
            "    elif t == 'POINT':\n"
            "        print('POINT', e.dxf.layer, '%g %g' % (e.dxf.location.x, e.dxf.location.y))\n"
            "    else:\n"
            "        print('OTHER', t)\n"
            "print('LAYERS', ' '.join(sorted(l.dxf.name for l in doc.layers if l.dxf.name not in ('0', "
            "'Defpoints'))))\n",
        dir.File("read.py"));
    EXPECT_EQ(listing,
              "LINE 0 1.5 2 3 4.25\n"
              "LINE 0 3 4.25 -5 6\n"
              "POINT 0 100000 0.001\n"
              "POINT 1 7 8.5\n"
              "LAYERS 1\n");

    const std::string written = dir.File("ezdxf.dxf");
    const std::string out = RunPython(
        "import ezdxf\n"
        "doc = ezdxf.new('R12')\n"
        "msp = doc.modelspace()\n"
        "doc.layers.new('W8')\n"
        "msp.add_polyline2d([(0, 0), (10, 10), (20, 0)], dxfattribs={'layer': 'W8'})\n"
        "msp.add_line((1.25, 2.5), (3.75, -4), dxfattribs={'layer': 'W8'})\n"
        "msp.add_point((8, 18))\n"
        "msp.add_circle((10, 20), 5)\n"
        "msp.add_text('line point 10 20')\n"
        "msp.add_line((100, 200), (300, 400))\n"
        "doc.saveas('" +
            written +
            "')\n"
            "print('ok')\n",
        dir.File("write.py"));
    ASSERT_EQ(out, "ok\n");
    ASSERT_EQ(DXFToVector(&target, written.c_str(), 0), 1);
    EXPECT_EQ(Got(),
              (LayerContent{0xFF, {{8, 18}}, {{{1.25f, 2.5f}, {3.75f, -4}}, {{100, 200}, {300, 400}}}}));
}

}  // namespace
