#include "app/command_dispatch.h"

#include <algorithm>
#include <array>

#include "app/about_dlg.h"
#include "app/action_list_dlg.h"
#include "app/app_resources.h"
#include "app/golova_dlg.h"
#include "app/plugin_loader.h"
#include "app/preferences_dlg.h"
#include "modules/convolution/exports.h"
#include "modules/interferometry/exports.h"
#include "modules/texture/exports.h"
#include "outside/arithmo/arithmo.h"
#include "outside/basecore/help_system.h"
#include "outside/recast/recast.h"
#include "outside/toolbelt/toolbelt.h"
#include "platform/app/win_app.h"

namespace {

ToolEntries& CurrentEntries()
{
    static ToolEntries entries = LinkedToolEntries();
    return entries;
}

const ToolEntries& E()
{
    return CurrentEntries();
}

// The modal dialogs live on the handler's stack; their result means nothing here.
template <class Dialog>
void RunModal(CGolovaDlg& w, UINT)
{
    Dialog dialog(&w);
    dialog.DoModal();
}

void OpenEmptyViewer(CGolovaDlg& w, UINT)
{
    w.OpenViewer("");
}

void ImportWithoutParent(CGolovaDlg&, UINT)
{
    if (E().launchImport) E().launchImport(nullptr);
}

void ImportFromMainWindow(CGolovaDlg&, UINT)
{
    if (E().launchImport) E().launchImport(AfxGetMainWnd());
}

// A row whose action calls one tool entry.
template <std::function<void()> ToolEntries::*Entry>
void Call(CGolovaDlg&, UINT)
{
    if (const auto& entry = E().*Entry) entry();
}

constexpr std::array kTable = {
    CommandRow{ID_FILE_OPEN_VIEWER, OpenEmptyViewer},
    CommandRow{ID_TOOL_VIEW, OpenEmptyViewer},
    CommandRow{ID_FILE_3DVIEWER, [](CGolovaDlg&, UINT) { Show3DViewer(); }},
    CommandRow{ID_TOOL_3DVIEWER, [](CGolovaDlg&, UINT) { Show3DViewer(); }},
    CommandRow{ID_FILE_IMPORT, ImportWithoutParent},
    CommandRow{ID_TOOL_IMPORT, ImportFromMainWindow},
    CommandRow{ID_FILE_CREATE_NEW, Call<&ToolEntries::createNewFile>},
    CommandRow{ID_TOOL_CREATE_NEW, Call<&ToolEntries::createNewFile>},
    CommandRow{ID_FILE_EXIT_PROGRAM, [](CGolovaDlg& w, UINT) { w.ConfirmExit(); }},
    CommandRow{ID_PROC_FILTRATION, Call<&ToolEntries::filtr>},
    CommandRow{ID_TOOL_FILTRATION, Call<&ToolEntries::filtr>},
    CommandRow{ID_PROC_CONVOLUTION, Call<&ToolEntries::convolution>},
    CommandRow{ID_TOOL_CONVOLUTION, Call<&ToolEntries::convolution>},
    CommandRow{ID_PROC_PHASE_FILTRATION, Call<&ToolEntries::phaseFiltr>},
    CommandRow{ID_TOOL_PHASE_FILTRATION, Call<&ToolEntries::phaseFiltr>},
    CommandRow{ID_PROC_COHERENCE, Call<&ToolEntries::coher>},
    CommandRow{ID_TOOL_COHERENCE, Call<&ToolEntries::coher>},
    CommandRow{ID_PROC_ADD_NOISE, Call<&ToolEntries::addNoise>},
    CommandRow{ID_PROC_EDGE_DETECTION, Call<&ToolEntries::edgeDetect>},
    CommandRow{ID_TOOL_EDGE_DETECTION, Call<&ToolEntries::edgeDetect>},
    CommandRow{ID_PROC_THRESHOLD, Call<&ToolEntries::threshold>},
    CommandRow{ID_PROC_REPLACE_VALUES, Call<&ToolEntries::replaceValue>},
    CommandRow{ID_TOOL_REPLACE_VALUES, Call<&ToolEntries::replaceValue>},
    CommandRow{ID_PROC_DERIVATION, Call<&ToolEntries::calcGradient>},
    CommandRow{ID_PROC_MATRIX, Call<&ToolEntries::matrixProcess>},
    CommandRow{ID_ANALYSIS_TEXTURE, Call<&ToolEntries::texture>},
    CommandRow{ID_TOOL_TEXTURE, Call<&ToolEntries::texture>},
    CommandRow{ID_ANALYSIS_SPECTRUM, Call<&ToolEntries::fft>},
    CommandRow{ID_TOOL_SPECTRUM, Call<&ToolEntries::fft>},
    CommandRow{ID_UTIL_CALCULATOR, Call<&ToolEntries::evaluteExpression>},
    CommandRow{ID_TOOL_CALCULATOR, Call<&ToolEntries::evaluteExpression>},
    CommandRow{ID_UTIL_COMPLEX, Call<&ToolEntries::launchComplex>},
    CommandRow{ID_TOOL_COMPLEX, Call<&ToolEntries::launchComplex>},
    CommandRow{ID_UTIL_CHANGE_TYPE, Call<&ToolEntries::launchTypeChange>},
    CommandRow{ID_TOOL_CHANGE_TYPE, Call<&ToolEntries::launchTypeChange>},
    CommandRow{ID_UTIL_RESAMPLING, Call<&ToolEntries::degrade>},
    CommandRow{ID_TOOL_RESAMPLING, Call<&ToolEntries::degrade>},
    CommandRow{ID_UTIL_ROTATE, Call<&ToolEntries::rotate>},
    CommandRow{ID_TOOL_ROTATE, Call<&ToolEntries::rotate>},
    CommandRow{ID_UTIL_MIRROR, Call<&ToolEntries::mirror>},
    CommandRow{ID_TOOL_MIRROR, Call<&ToolEntries::mirror>},
    CommandRow{ID_UTIL_SUBSET, Call<&ToolEntries::subset>},
    CommandRow{ID_TOOL_SUBSET, Call<&ToolEntries::subset>},
    CommandRow{ID_UTIL_INSERT, Call<&ToolEntries::insert>},
    CommandRow{ID_TOOL_INSERT, Call<&ToolEntries::insert>},
    CommandRow{ID_UTIL_COMPLEX_OPERATIONS, Call<&ToolEntries::operationComplex>},
    CommandRow{ID_PREF_COMMON, RunModal<CPreferencesDlg>},
    CommandRow{ID_PREF_INTERFACE, RunModal<CActionListDlg>},
    CommandRow{ID_HELP_CONTENTS, [](CGolovaDlg& w, UINT) { CallHelpSystem(&w, nullptr); }},
    CommandRow{ID_HELP_ABOUT, RunModal<CAboutDlg>},
    CommandRow{ID_PAGE_FILES, [](CGolovaDlg& w, UINT id) { w.SelectPageOf(id); }},
    CommandRow{ID_PAGE_PROCESSING, [](CGolovaDlg& w, UINT id) { w.SelectPageOf(id); }},
    CommandRow{ID_PAGE_ANALYSE, [](CGolovaDlg& w, UINT id) { w.SelectPageOf(id); }},
    CommandRow{ID_PAGE_UTIL, [](CGolovaDlg& w, UINT id) { w.SelectPageOf(id); }},
};

static_assert(std::ranges::all_of(kTable, [](const CommandRow& r) {
    return r.id >= kFirstCommandId && r.id <= kLastCommandId && r.id != ID_PAGE_MAIN;
}));

}  // namespace

ToolEntries LinkedToolEntries()
{
    ToolEntries e;
    e.filtr = Filtr_Files;
    e.convolution = Convolution_Files;
    e.calcGradient = CalcGradient_Files;
    e.coher = Coher_Files;
    e.fft = FFT_Files;
    e.phaseFiltr = PhaseFiltr_Files;
    e.operationComplex = Operation_Complex_Files;
    e.texture = Texture_Files;
    e.evaluteExpression = EvaluteExpression_Files;
    e.edgeDetect = EdgeDetect_Files;
    e.createNewFile = CreateNewFile_Files;
    e.threshold = Threshold_Files;
    e.replaceValue = ReplaceValue_Files;
    e.addNoise = AddNoise_Files;
    e.matrixProcess = MatrixProcess_Files;
    // The launcher lives only for the call: Recast keeps no state between its tools.
    e.launchImport = [](CWnd* parent) { ExternFunction().LaunchImport(parent); };
    e.launchTypeChange = [] { ExternFunction().LaunchTypeChange(); };
    e.launchComplex = [] { ExternFunction().LaunchComplex(); };
    e.subset = Subset_Files;
    e.rotate = Rotate_Files;
    e.mirror = Mirror_Files;
    e.insert = Insert_Files;
    e.degrade = Degrade;
    return e;
}

ToolEntries SetToolEntries(const ToolEntries& entries)
{
    ToolEntries previous = CurrentEntries();
    CurrentEntries() = entries;
    return previous;
}

const ToolEntries& GetToolEntries()
{
    return CurrentEntries();
}

std::span<const CommandRow> CommandTable()
{
    return kTable;
}

const CommandRow* FindCommandRow(UINT id)
{
    const auto it = std::ranges::find(kTable, id, &CommandRow::id);
    return it == kTable.end() ? nullptr : &*it;
}
