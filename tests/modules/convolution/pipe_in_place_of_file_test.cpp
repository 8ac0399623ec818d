// A named pipe where a file is expected: every reader of the suite's files opens without
// waiting, refuses what is not a regular file, and answers as it does for a file it cannot
// read.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "modules/convolution/kernel_library.h"
#include "outside/basecore/rdp_layer.h"
#include "platform/last_error.h"
#include "platform/registry/registry.h"
#include "tests/support/modal_responder.h"
#include "tests/support/named_pipe.h"
#include "tests/support/test_environment.h"
#include "tests/support/ui_helpers.h"
#include "tests/viewer/frame/frame_test_support.h"
#include "viewer/core/dxf_exchange.h"
#include "viewer/core/vector_image.h"

using tarvenix::test::ReaderWaitedOnPipe;
using tarvenix::test::Responder;
using tarvenix::test::TempDir;

TEST(PipeInPlaceOfFile, EveryReaderRefusesItAtOnceWithItsUsualAnswer)
{
    TempDir dir;
    const std::string picture = dir.File("picture.rdp");
    frame_test::MakeLayerFile(picture);
    CVectorImage overlay;
    ASSERT_EQ(overlay.Create(picture.c_str(), 0), 1);
    overlay.AddLayer(0xFF);

    struct Case {
        const char* name;
        const char* file;            // the pipe's name in the case's folder
        std::function<bool()> read;  // true when the reader answered as for an unreadable file
    };
    std::string where;  // the case's pipe
    const std::vector<Case> cases = {
        {"a kernel folder's caption", "Description.dat",
         [&] { return GetCaptionFromFile(where.c_str()).IsEmpty(); }},
        {"a kernel mask", "box.rdp",
         [&] {
             CRDPLayer mask;
             return mask.OpenLayer(where.c_str(), kOpenReadOnly) == nullptr &&
                    MaskTitle(where.c_str()) == "box";
         }},
        {"a kernel link", "box.lnk",
         [&] {
             CString target;
             return ResolveMaskShortcut(nullptr, where.c_str(), target) == E_FAIL && target.IsEmpty();
         }},
        {"the kernel library's walk", "Description.dat",
         [&] {
             // The folder holding the pipe is read with its name as caption, and a pipe named
             // like a mask shows as a leaf captioned by its name.
             tarvenix::test::MakeNamedPipe(where.substr(0, where.rfind('/')) + "/edge.rdp");
             const std::string library = where.substr(0, where.rfind('/', where.rfind('/') - 1));
             const std::vector<LibraryNode> nodes = ReadKernelLibrary(library.c_str());
             return nodes.size() == 1 && nodes[0].caption == "set" && nodes[0].children.size() == 1 &&
                    nodes[0].children[0].caption == "edge";
         }},
        {"a DXF drawing", "drawing.dxf", [&] { return DXFToVector(&overlay, where.c_str(), 0) == 0; }},
        {"a layer file", "scene.rdp",
         [&] {
             CRDPLayer layer;
             return layer.OpenLayer(where.c_str(), kOpenReadOnly) == nullptr &&
                    CRDPLayer::GetNumLayer(where.c_str()) == 0;
         }},
        {"a layer file in a viewer", "shown.rdp",
         [&] {
             frame_test::NotifyWindow parent;
             Responder().AnswerMessageBox(IDOK);
             CFrameViewer* frame = frame_test::OpenViewer(where, parent);
             const bool refused = frame && !parent.received.empty() && parent.received.back().second == 3 &&
                                  Responder().Asked().size() == 1 &&
                                  Responder().Asked()[0].text == "Error opening file !";
             if (frame) ::SendMessage(frame->GetSafeHwnd(), frame_test::ControlMessage(), 1, 0);
             tarvenix::test::PumpEvents();
             Responder().Reset();
             return refused;
         }},
        {"the settings file", "registry.dat",
         [&] {
             const std::string saved = std::getenv("TARVENIX_CONFIG_DIR");
             ::setenv("TARVENIX_CONFIG_DIR", where.substr(0, where.rfind('/')).c_str(), 1);
             platform::ReloadRegistryFromFile();
             std::vector<std::string> reports;
             platform::SetRegistryDamageHandler([&](const CString& m) { reports.push_back(m.str()); });
             HKEY key = nullptr;
             const LSTATUS opened = RegOpenKeyEx(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key);
             platform::SetRegistryDamageHandler(nullptr);
             ::setenv("TARVENIX_CONFIG_DIR", saved.c_str(), 1);
             platform::ReloadRegistryFromFile();
             return opened == ERROR_FILE_NOT_FOUND && reports.size() == 1 &&
                    reports[0].find("not a regular file") != std::string::npos;
         }},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = dir.File("case" + std::to_string(n++)) + "/set";
        std::filesystem::create_directories(folder);
        where = folder + "/" + c.file;
        ASSERT_TRUE(tarvenix::test::MakeNamedPipe(where));
        bool answered = false;
        EXPECT_FALSE(ReaderWaitedOnPipe(where, [&] { answered = c.read(); }))
            << "the reader waited on the pipe";
        EXPECT_TRUE(answered);
    }
}
