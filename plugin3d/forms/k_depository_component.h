#pragma once

// TKDepositoryComponent, the record bar every construction editor shows on its Drawing side:
// at the left the drawing systems that have their own choice ("All Drawings" first, standing
// for the defaults) with the records each chooses for the two kinds ("Ordinary", "Special");
// at the right the named records, with the current one whose values the editor shows. The
// bar never reads a record's bytes: it tells the form when the current record changed.

#include <string_view>

#include "platform/forms/comctrls.h"
#include "platform/forms/controls.h"
#include "platform/forms/units.h"

class TBevel;
class TComboBox;
class TKCustomConstruction3D;
class TKDepositoryCustomConstruction3D;
class TLabel;
class TListBox;
class TSpeedButtonEx;

/// The bar's layout metrics (the editor forms set BevelPos 135 and BoxPos 55).
struct TDepositoryBarLayout {
    int BevelPos = 128;
    int BtnWidth = 25;
    int BtnHeight = 21;
    int BevelInterval = 3;
    int BtnXInterval = 3;
    int BtnYInterval = 3;
    int BoxInterval = 3;
    int BoxPos = 50;
    int LabelPos = 5;
    bool operator==(const TDepositoryBarLayout&) const = default;
};

/// The name a new record gets.
inline constexpr char kNewRecordName[] = "No Named Record";

class TKDepositoryComponent : public TCustomControl {
    DECLARE_TCLASS(TKDepositoryComponent)

    void Create(void* owner) override;
    /// The layout metrics by name ("BevelPos", ...), as a form's layout sets them.
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;

    /// A different depository (not owned; null: none) is shown at once (Refresh).
    void SetDepository(TKDepositoryCustomConstruction3D* depository);
    TKDepositoryCustomConstruction3D* Depository() const { return m_depository; }
    /// The construction whose project offers drawing systems to add (not owned).
    void SetConstruction(TKCustomConstruction3D* construction) { m_construction = construction; }
    /// Shows the depository's tables again; indexes past them return to "All Drawings" and
    /// record 0; then tells the form of the current drawing and record.
    void Refresh();
    /// Clamped to -1 ("All Drawings") .. count - 1.
    void SetCurrentDrawing(int n);
    /// Clamped to the records.
    void SetCurrentRecord(int n);
    int CurrentDrawing() const { return m_currentDrawing; }
    int CurrentRecord() const { return m_currentRecord; }
    /// While set, nothing of the tables changes through the bar; moving the selection stays.
    void SetReadOnly(bool readOnly);
    bool ReadOnly() const { return m_readOnly; }
    void SetBarLayout(const TDepositoryBarLayout& layout);
    const TDepositoryBarLayout& BarLayout() const { return m_layout; }

    TNotifyEvent OnChange;
    TNotifyEvent OnCurrentRecordChange;
    TNotifyEvent OnCurrentDrawingChange;

    TListBox* DrawingList = nullptr;
    TListView* RecordList = nullptr;
    TComboBox* Box0 = nullptr;  ///< kind 0, "Ordinary"
    TComboBox* Box1 = nullptr;  ///< kind 1, "Special"
    TLabel* Label0 = nullptr;
    TLabel* Label1 = nullptr;
    TBevel* Bevel = nullptr;
    TSpeedButtonEx* DrawingAddBtn = nullptr;
    TSpeedButtonEx* DrawingDeleteBtn = nullptr;
    TSpeedButtonEx* DrawingUpBtn = nullptr;
    TSpeedButtonEx* DrawingDownBtn = nullptr;
    TSpeedButtonEx* RecordAddBtn = nullptr;
    TSpeedButtonEx* RecordDeleteBtn = nullptr;
    TSpeedButtonEx* RecordUpBtn = nullptr;
    TSpeedButtonEx* RecordDownBtn = nullptr;

protected:
    TKDepositoryComponent() = default;
    void Resize() override;

private:
    void LayOut();
    void Rebuild();
    void RebuildBoxes();
    void Select();
    void SelectBoxes();
    void UpdateButtons();
    void Changed();
    void Raise(const TNotifyEvent& event);

    void DrawingListClick(TObject* sender);
    void RecordListChange(TObject* sender, TListItem* item, TItemChange change);
    void RecordListEdited(TObject* sender, TListItem* item, std::string& text);
    void BoxChange(TObject* sender);
    void ButtonClick(TObject* sender);

    TKDepositoryCustomConstruction3D* m_depository = nullptr;
    TKCustomConstruction3D* m_construction = nullptr;
    bool m_updating = false;
    bool m_readOnly = false;
    int m_currentDrawing = -1;
    int m_currentRecord = 0;
    TDepositoryBarLayout m_layout;
};

/// Unit KDepositoryComponent: the class known to layouts.
extern const TUnitInfo kKDepositoryComponentUnit;
