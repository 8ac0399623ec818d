#include "plugin3d/forms/k_depository_component.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "platform/forms/extctrls.h"
#include "platform/forms/graphics.h"
#include "platform/forms/stdctrls.h"
#include "plugin3d/forms/button_ex.h"
#include "plugin3d/forms/k_finders.h"
#include "plugin3d/model/core/k_project.h"
#include "plugin3d/model/scene/k_depository.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "plugin3d/model/scene/k_project3d.h"
#include "plugin3d/resources/kelvora_resources.h"

IMPLEMENT_TCLASS(TKDepositoryComponent, TCustomControl)

namespace {

constexpr int kBevelWidth = 2;
// A drop-down list's height with the default font.
constexpr int kBoxHeight = 21;

/// Runs body with flag set, restoring it on every way out.
template <class Body>
void Updating(bool& flag, Body&& body)
{
    const bool was = flag;
    flag = true;
    try {
        body();
    } catch (...) {
        flag = was;
        throw;
    }
    flag = was;
}

void StartDepositoryComponent()
{
    const TClass classes[] = {TKDepositoryComponent::StaticClass()};
    RegisterClasses(classes);
}

void EndDepositoryComponent()
{
    const TClass classes[] = {TKDepositoryComponent::StaticClass()};
    UnregisterClasses(classes);
}

}  // namespace

const TUnitInfo kKDepositoryComponentUnit{"KDepositoryComponent", StartDepositoryComponent,
                                          EndDepositoryComponent};

void TKDepositoryComponent::Create(void* owner)
{
    TCustomControl::Create(owner);
    const auto button = [this](const char* glyph) {
        TSpeedButtonEx* b = TSpeedButtonEx::New(this);
        b->SetParent(this);
        b->SetFlat(true);
        b->Glyph()->LoadFromResourceName(KelvoraResourceInstance(), glyph);
        b->OnClick = TNotifyEvent::Of<&TKDepositoryComponent::ButtonClick>(this);
        return b;
    };
    DrawingAddBtn = button("ADDBITMAP");
    DrawingDeleteBtn = button("DELBITMAP");
    DrawingUpBtn = button("UPBITMAP");
    DrawingDownBtn = button("DOWNBITMAP");
    RecordAddBtn = button("ADDBITMAP");
    RecordDeleteBtn = button("DELBITMAP");
    RecordUpBtn = button("UPBITMAP");
    RecordDownBtn = button("DOWNBITMAP");

    Bevel = TBevel::New(this);
    Bevel->SetParent(this);
    Bevel->SetShape(bsLeftLine);

    DrawingList = TListBox::New(this);
    DrawingList->SetParent(this);
    DrawingList->OnClick = TNotifyEvent::Of<&TKDepositoryComponent::DrawingListClick>(this);

    RecordList = TListView::New(this);
    RecordList->SetParent(this);
    RecordList->SetViewStyle(vsList);
    RecordList->SetReadOnly(false);
    RecordList->OnChange = TLVChangeEvent::Of<&TKDepositoryComponent::RecordListChange>(this);
    RecordList->OnEdited = TLVEditedEvent::Of<&TKDepositoryComponent::RecordListEdited>(this);

    const auto box = [this] {
        TComboBox* b = TComboBox::New(this);
        b->SetParent(this);
        b->SetProperty("Style", "csDropDownList", nullptr);
        b->OnChange = TNotifyEvent::Of<&TKDepositoryComponent::BoxChange>(this);
        b->SetBounds(0, 0, 64, kBoxHeight);
        return b;
    };
    Box0 = box();
    Box1 = box();
    const auto label = [this](const char* text) {
        TLabel* l = TLabel::New(this);
        l->SetParent(this);
        l->SetCaption(text);
        return l;
    };
    Label0 = label("Ordinary");
    Label1 = label("Special");

    SetBounds(Left(), Top(), 256, 128);
    LayOut();
    UpdateButtons();
}

bool TKDepositoryComponent::SetProperty(std::string_view name, std::string_view value, TComponent* form)
{
    static constexpr std::pair<std::string_view, int TDepositoryBarLayout::*> kMetrics[] = {
        {"BevelPos", &TDepositoryBarLayout::BevelPos},
        {"BtnWidth", &TDepositoryBarLayout::BtnWidth},
        {"BtnHeight", &TDepositoryBarLayout::BtnHeight},
        {"BevelInterval", &TDepositoryBarLayout::BevelInterval},
        {"BtnXInterval", &TDepositoryBarLayout::BtnXInterval},
        {"BtnYInterval", &TDepositoryBarLayout::BtnYInterval},
        {"BoxInterval", &TDepositoryBarLayout::BoxInterval},
        {"BoxPos", &TDepositoryBarLayout::BoxPos},
        {"LabelPos", &TDepositoryBarLayout::LabelPos}};
    for (const auto& [metric, member] : kMetrics) {
        if (name != metric) continue;
        int number = 0;
        if (std::from_chars(value.data(), value.data() + value.size(), number).ec != std::errc())
            return false;
        TDepositoryBarLayout layout = m_layout;
        layout.*member = number;
        SetBarLayout(layout);
        return true;
    }
    return TCustomControl::SetProperty(name, value, form);
}

void TKDepositoryComponent::SetBarLayout(const TDepositoryBarLayout& layout)
{
    if (layout == m_layout) return;
    m_layout = layout;
    LayOut();
}

void TKDepositoryComponent::Resize()
{
    LayOut();
    TCustomControl::Resize();
}

void TKDepositoryComponent::LayOut()
{
    if (!Bevel) return;
    const TDepositoryBarLayout& l = m_layout;
    const int w = Width();
    const int h = Height();
    Bevel->SetBounds(l.BevelPos, 0, kBevelWidth, h);
    const auto place = [&l](TSpeedButtonEx* b, int x) { b->SetBounds(x, 1, l.BtnWidth, l.BtnHeight); };
    place(DrawingAddBtn, 1);
    place(DrawingDeleteBtn, 1 + l.BtnWidth + l.BtnXInterval);
    const int drawingDown = l.BevelPos - l.BevelInterval - l.BtnWidth;
    place(DrawingDownBtn, drawingDown);
    place(DrawingUpBtn, drawingDown - l.BtnXInterval - l.BtnWidth);
    const int recordsLeft = l.BevelPos + kBevelWidth + l.BevelInterval;
    place(RecordAddBtn, recordsLeft);
    place(RecordDeleteBtn, recordsLeft + l.BtnWidth + l.BtnXInterval);
    const int recordDown = w - 1 - l.BtnWidth;
    place(RecordDownBtn, recordDown);
    place(RecordUpBtn, recordDown - l.BtnXInterval - l.BtnWidth);

    const int boxWidth = l.BevelPos - l.BevelInterval - l.BoxPos;
    const int boxHeight = kBoxHeight;
    Box1->SetBounds(l.BoxPos, h - 1 - boxHeight, boxWidth, boxHeight);
    Box0->SetBounds(l.BoxPos, Box1->Top() - l.BoxInterval - boxHeight, boxWidth, boxHeight);
    const int listTop = l.BtnHeight + l.BtnYInterval + 1;
    DrawingList->SetBounds(1, listTop, l.BevelPos - l.BevelInterval - 1,
                           std::max(0, Box0->Top() - l.BoxInterval - listTop));
    RecordList->SetBounds(recordsLeft, listTop, std::max(0, w - 1 - recordsLeft),
                          std::max(0, h - 1 - listTop));
    Label0->SetBounds(l.LabelPos, Box0->Top() + (boxHeight - Label0->Height()) / 2, Label0->Width(),
                      Label0->Height());
    Label1->SetBounds(l.LabelPos, Box1->Top() + (boxHeight - Label1->Height()) / 2, Label1->Width(),
                      Label1->Height());
}

void TKDepositoryComponent::SetDepository(TKDepositoryCustomConstruction3D* depository)
{
    if (depository == m_depository) return;
    m_depository = depository;
    Refresh();
}

void TKDepositoryComponent::Refresh()
{
    Rebuild();
    const int drawings = m_depository ? m_depository->DrawingCount() : 0;
    const int records = m_depository ? m_depository->RecordCount() : 0;
    if (m_currentDrawing >= drawings) m_currentDrawing = -1;
    if (m_currentRecord >= records) m_currentRecord = 0;
    Select();
    UpdateButtons();
    if (!m_depository) return;
    Raise(OnCurrentDrawingChange);
    Raise(OnCurrentRecordChange);
}

void TKDepositoryComponent::Rebuild()
{
    Updating(m_updating, [this] {
        RecordList->Clear();
        DrawingList->Clear();
        DrawingList->AddItem("All Drawings");
        if (m_depository) {
            for (int i = 0; i < m_depository->RecordCount(); ++i)
                RecordList->AddItem(m_depository->GetRecordName(i));
            for (int i = 0; i < m_depository->DrawingCount(); ++i) {
                TKCustomDrawSystem3D* drawing = m_depository->GetDrawing(i);
                DrawingList->AddItem(drawing ? drawing->Name() : std::string());
            }
        }
        RebuildBoxes();
    });
}

void TKDepositoryComponent::RebuildBoxes()
{
    Updating(m_updating, [this] {
        for (TComboBox* box : {Box0, Box1}) {
            box->Clear();
            if (m_depository)
                for (int i = 0; i < m_depository->RecordCount(); ++i)
                    box->AddItem(m_depository->GetRecordName(i));
        }
    });
}

void TKDepositoryComponent::SelectBoxes()
{
    Updating(m_updating, [this] {
        Box0->SetItemIndex(m_depository ? m_depository->GetDrawingRecord(m_currentDrawing, 0) : -1);
        Box1->SetItemIndex(m_depository ? m_depository->GetDrawingRecord(m_currentDrawing, 1) : -1);
    });
}

void TKDepositoryComponent::Select()
{
    Updating(m_updating, [this] {
        SelectBoxes();
        DrawingList->SetItemIndex(m_currentDrawing + 1);
        if (TListItem* item = RecordList->Item(m_currentRecord)) {
            item->SetFocused(true);
            item->SetSelected(true);
        }
    });
}

void TKDepositoryComponent::UpdateButtons()
{
    const bool has = m_depository != nullptr;
    const int drawings = has ? m_depository->DrawingCount() : 0;
    const int records = has ? m_depository->RecordCount() : 0;
    DrawingAddBtn->SetEnabled(has && !m_readOnly);
    DrawingDeleteBtn->SetEnabled(has && drawings > 0 && m_currentDrawing >= 0 && !m_readOnly);
    DrawingUpBtn->SetEnabled(has && m_currentDrawing >= 0);
    DrawingDownBtn->SetEnabled(has && m_currentDrawing < drawings - 1);
    RecordAddBtn->SetEnabled(has && !m_readOnly);
    RecordDeleteBtn->SetEnabled(has && records > 0 && !m_readOnly);
    RecordUpBtn->SetEnabled(has && m_currentRecord > 0);
    RecordDownBtn->SetEnabled(has && m_currentRecord < records - 1);
}

void TKDepositoryComponent::SetCurrentDrawing(int n)
{
    if (!m_depository) return;
    const int count = m_depository->DrawingCount();
    n = std::max(std::min(n, count - 1), -1);
    if (n != m_currentDrawing) {
        Updating(m_updating, [&] {
            m_currentDrawing = n;
            DrawingList->SetItemIndex(n + 1);
            SelectBoxes();
            Raise(OnCurrentDrawingChange);
        });
    }
    UpdateButtons();
}

void TKDepositoryComponent::SetCurrentRecord(int n)
{
    if (!m_depository) return;
    n = std::max(std::min(n, m_depository->RecordCount() - 1), 0);
    if (m_depository->RecordCount() == 0) n = -1;
    if (n != m_currentRecord) {
        Updating(m_updating, [&] {
            m_currentRecord = n;
            if (TListItem* item = RecordList->Item(n)) {
                item->SetFocused(true);
                item->SetSelected(true);
            }
        });
        Raise(OnCurrentRecordChange);
    }
    UpdateButtons();
}

void TKDepositoryComponent::SetReadOnly(bool readOnly)
{
    if (readOnly == m_readOnly) return;
    m_readOnly = readOnly;
    UpdateButtons();
}

void TKDepositoryComponent::Raise(const TNotifyEvent& event)
{
    if (event) event(this);
}

void TKDepositoryComponent::Changed()
{
    if (OnChange && m_depository) OnChange(this);
}

void TKDepositoryComponent::DrawingListClick(TObject*)
{
    if (m_updating) return;
    SetCurrentDrawing(DrawingList->ItemIndex() - 1);
}

void TKDepositoryComponent::RecordListChange(TObject*, TListItem* item, TItemChange change)
{
    if (m_updating || change != ctState || !item || item != RecordList->ItemFocused()) return;
    SetCurrentRecord(item->Index());
}

void TKDepositoryComponent::RecordListEdited(TObject*, TListItem*, std::string& text)
{
    if (m_updating || m_readOnly || !m_depository) {
        // The list keeps the record's own name.
        text = m_depository ? m_depository->GetRecordName(m_currentRecord) : std::string();
        return;
    }
    m_depository->SetRecordName(m_currentRecord, text);
    RebuildBoxes();
    SelectBoxes();
    Changed();
}

void TKDepositoryComponent::BoxChange(TObject* sender)
{
    if (m_updating || !m_depository) return;
    const std::uint8_t kind = sender == Box1 ? 1 : 0;
    TComboBox* box = kind ? Box1 : Box0;
    if (m_readOnly) {
        SelectBoxes();  // the choice stays what the depository holds
        return;
    }
    if (box->ItemIndex() == m_depository->GetDrawingRecord(m_currentDrawing, kind)) return;
    m_depository->SetDrawingRecord(m_currentDrawing, kind, box->ItemIndex());
    Changed();
}

void TKDepositoryComponent::ButtonClick(TObject* sender)
{
    TKDepositoryCustomConstruction3D* d = m_depository;
    if (!d) return;
    const auto reshow = [this](const TNotifyEvent& event) {
        Rebuild();
        Select();
        Raise(event);
        Changed();
    };
    if (sender == DrawingAddBtn && !m_readOnly) {
        auto* project = dynamic_cast<TKelvora3DProject*>(FindProjectOf(m_construction));
        if (TKDrawingSystem3D* drawing = PickDrawing(project)) {
            const int index = d->AddDrawing(drawing);
            if (index >= 0 && index < d->DrawingCount()) {
                m_currentDrawing = index;
                reshow(OnCurrentDrawingChange);
            }
        }
    } else if (sender == DrawingDeleteBtn && !m_readOnly && m_currentDrawing >= 0) {
        d->DeleteDrawing(m_currentDrawing);
        m_currentDrawing = std::min(m_currentDrawing, d->DrawingCount() - 1);
        reshow(OnCurrentDrawingChange);
    } else if (sender == DrawingUpBtn) {
        SetCurrentDrawing(m_currentDrawing - 1);
    } else if (sender == DrawingDownBtn) {
        SetCurrentDrawing(m_currentDrawing + 1);
    } else if (sender == RecordAddBtn && !m_readOnly) {
        m_currentRecord = d->RecordCount();
        d->SetRecordCount(m_currentRecord + 1);
        d->SetRecordName(m_currentRecord, kNewRecordName);
        reshow(OnCurrentRecordChange);
    } else if (sender == RecordDeleteBtn && !m_readOnly && d->RecordCount() > 0) {
        d->DeleteRecord(m_currentRecord);
        m_currentRecord = std::min(m_currentRecord, d->RecordCount() - 1);
        reshow(OnCurrentRecordChange);
    } else if (sender == RecordUpBtn) {
        SetCurrentRecord(m_currentRecord - 1);
    } else if (sender == RecordDownBtn) {
        SetCurrentRecord(m_currentRecord + 1);
    }
    UpdateButtons();
}
