#pragma once

// TStringResource (unit StringResource): a component that keeps a list of texts (the
// navigator's built-in models); a layout gives the lines as the record's items.

#include "platform/forms/component.h"
#include "platform/forms/string_list.h"
#include "platform/forms/units.h"

class TStringResource : public TComponent {
    DECLARE_TCLASS(TStringResource)

    void Create(void* owner) override;
    void BeforeDestruction() override;
    TStringList* Data() const { return m_data; }
    /// Copies the lines of list; null clears them.
    void SetData(TStringList* list);
    /// The record's items are the lines.
    void ReadLayout(const TControlResource& record) override;

protected:
    TStringResource() = default;

private:
    TStringList* m_data = nullptr;
};

/// Unit StringResource: the class known to layouts.
extern const TUnitInfo kStringResourceUnit;
