#pragma once

// The light editors: a record bar on the depository's working copy at the left, the current
// record's numbers and switch at the right, and Close, Apply and Reset below. Apply hands the
// copy back at once; Reset takes the light's depository again. Both editors share one form:
// the point light's shows colour, attenuation and spot, the ambient one (ambient and flat
// lights) the colour only.

#include <span>

#include "platform/forms/forms.h"

class TButton;
class TCheckBox;
class TEdit;
class TKDepositoryComponent;
class TKFlatCaption;
class TKLightEditorDepository;

/// One number of a record: its edit box and its byte offset in the record.
struct TLightRecordField {
    const char* edit;
    int offset;
};

class TKLightEditorForm : public TForm {
    DECLARE_TCLASS(TKLightEditorForm)

    TKFlatCaption* KFlatCaption1 = nullptr;
    TKDepositoryComponent* KDepositoryComponent1 = nullptr;
    TCheckBox* EnabledBox = nullptr;
    TButton* CloseBtn = nullptr;
    TButton* ApplyBtn = nullptr;
    TButton* ResetBtn = nullptr;

    /// Edits depository (not owned): its copy becomes the form's, the caption the light's name,
    /// and the form takes the saved place, shown or not.
    void Open(TKLightEditorDepository* depository, bool show);
    TKLightEditorDepository* Edited() const { return m_edited; }
    /// The window's place into the edited depository (for a save).
    void KeepPlace();
    TKLightEditorDepository* Copy() const { return m_copy; }
    TEdit* FieldEdit(int k) const { return m_edits[static_cast<std::size_t>(k)]; }
    /// Shows the current record's values (the record bar calls it on every change of it).
    void ShowRecord();

protected:
    TKLightEditorForm() = default;
    std::vector<THandler> Handlers() override;
    void Loaded() override;

    /// The numbers of the record and where the switch lies.
    virtual std::span<const TLightRecordField> Fields() const = 0;
    virtual int EnabledOffset() const = 0;
    /// A new, empty depository of the edited class: the working copy.
    virtual TKLightEditorDepository* NewCopy() const = 0;

    void FormCreate(TObject* sender);
    void FormDestroy(TObject* sender);
    void FormClose(TObject* sender, TCloseAction& action);
    void BarCurrentRecordChange(TObject* sender);
    void BarChange(TObject* sender);
    void EditChange(TObject* sender);
    void EditKeyPress(TObject* sender, char& key);
    void EnabledBoxClick(TObject* sender);
    void CloseBtnClick(TObject* sender);
    void ApplyBtnClick(TObject* sender);
    void ResetBtnClick(TObject* sender);

private:
    std::uint8_t* CurrentRecord() const;

    TKLightEditorDepository* m_edited = nullptr;
    TKLightEditorDepository* m_copy = nullptr;
    std::vector<TEdit*> m_edits;
    bool m_displaying = false;
};

class TKPointSpringLight3DForm : public TKLightEditorForm {
    DECLARE_TCLASS(TKPointSpringLight3DForm)

protected:
    TKPointSpringLight3DForm() = default;
    std::span<const TLightRecordField> Fields() const override;
    int EnabledOffset() const override;
    TKLightEditorDepository* NewCopy() const override;
};

class TKAmbientLight3DForm : public TKLightEditorForm {
    DECLARE_TCLASS(TKAmbientLight3DForm)

protected:
    TKAmbientLight3DForm() = default;
    std::span<const TLightRecordField> Fields() const override;
    int EnabledOffset() const override;
    TKLightEditorDepository* NewCopy() const override;
};
