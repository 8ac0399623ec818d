// The convolution tool's kernel library and kernel editor: building the library tree against
// a plain walk of the same folders, and a repaint of the editor's result view of a large
// compound mask after a slider step against one display frame.

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_registry.h"
#include "modules/convolution/convolution_dlg.h"
#include "modules/convolution/convolution_resources.h"
#include "modules/convolution/kernel_library.h"
#include "modules/convolution/user_mask_dlg.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/grid_ctrl.h"
#include "outside/basecore/layer_description.h"
#include "outside/basecore/rdp_layer.h"
#include "platform/controls/tree_ctrl.h"
#include "platform/window/messages.h"
#include "platform/window/wnd.h"

namespace {

volatile std::size_t g_sink;

/// 100 folders of 20 captioned 3 x 3 masks each, made once.
std::string Library(BenchContext& ctx)
{
    static std::string root;
    if (!root.empty()) return root;
    root = ctx.File("kernels");
    const std::vector<double> values(9, 1.0);
    for (int f = 0; f < 100; ++f) {
        const std::string folder = root + "/set" + std::to_string(f);
        std::filesystem::create_directories(folder);
        if (FILE* d = std::fopen((folder + "/Description.dat").c_str(), "wb")) {
            std::fprintf(d, "Set %d", f);
            std::fclose(d);
        }
        for (int m = 0; m < 20; ++m) {
            const std::string path = folder + "/mask" + std::to_string(m) + ".rdp";
            CRDPLayer layer;
            if (!layer.CreateLayer(path.c_str(), 3, 3, int(DataType::F64))) continue;
            for (int y = 0; y < 3; ++y) layer.SetLineFromDouble(y, values.data() + 3 * y, 3);
            layer.CloseLayer();
            CLayerDescription::SetDescriptionTag(path.c_str(), 600, ("Mask " + std::to_string(m)).c_str());
        }
    }
    return root;
}

/// Every file of the library opened once and its first bytes read.
std::size_t PlainWalk(const std::string& root)
{
    std::size_t bytes = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        if (FILE* f = std::fopen(entry.path().c_str(), "rb")) {
            char head[64];
            bytes += std::fread(head, 1, sizeof head, f);
            std::fclose(f);
        }
    }
    return bytes;
}

struct TreeWindow {
    CWnd host;
    CTreeCtrl tree;
    TreeWindow()
    {
        host.CreateEx(0, AfxRegisterWndClass(0), "Tree", WS_OVERLAPPED, CRect(0, 0, 400, 600), nullptr, 0);
        tree.Create(WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES, CRect(0, 0, 400, 600), &host, 100);
        host.ShowWindow(SW_SHOW);
    }
};

void Insert(CTreeCtrl& tree, const std::vector<LibraryNode>& nodes, HTREEITEM parent, std::size_t& count)
{
    for (const LibraryNode& n : nodes) {
        HTREEITEM item = tree.InsertItem(n.caption, n.folder ? 0 : 2, n.folder ? 1 : 3, parent, TVI_LAST);
        ++count;
        if (n.folder) Insert(tree, n.children, item, count);
    }
}

const bool kTree = RegisterBench("kernel-library-tree", "plain-walk", [](BenchContext& ctx) {
    const std::string root = Library(ctx);
    static TreeWindow* window = new TreeWindow;  // lives for the run
    BenchTimes t;
    t.referenceSeconds = Seconds([&] { g_sink = PlainWalk(root); });
    t.seconds = Seconds([&] {
        window->tree.DeleteAllItems();
        std::size_t count = 0;
        Insert(window->tree, ReadKernelLibrary(root.c_str()), TVI_ROOT, count);
        g_sink = count;
    });
    return t;
});

const bool kResult = RegisterBench("mask-result-view-1023", "display-frame", [](BenchContext&) {
    static CUserMaskDlg* editor = [] {
        auto* owner = new CConvolutionDlg;  // both live for the run
        owner->Create(nullptr);
        auto* e = new CUserMaskDlg(owner, 1023, 1023);
        e->Create(owner);
        e->SetNew();
        e->CreateNewMask(1023, 1023, 2);
        e->ShowWindow(SW_SHOW);
        e->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_MASK_VIEW_RESULT, BN_CLICKED), 0);
        return e;
    }();
    static int position = 0;
    CWnd* slider = editor->GetDlgItem(IDC_CONV_SLIDER);
    BenchTimes t;
    t.seconds = Seconds([&] {
        position = (position + 1) % 360;
        slider->SendMessage(TBM_SETPOS, TRUE, position);
        editor->SendMessage(WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
                            LPARAM(slider->GetSafeHwnd()));
        editor->Grid()->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    });
    t.referenceSeconds = 1.0 / 60.0;
    return t;
});

}  // namespace
