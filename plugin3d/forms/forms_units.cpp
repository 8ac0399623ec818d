#include "plugin3d/forms/forms_units.h"

#include "platform/forms/forms.h"
#include "plugin3d/forms/button_ex.h"
#include "plugin3d/forms/k_flat_caption.h"
#include "plugin3d/forms/string_resource.h"
#include "plugin3d/model/core/k_form_links.h"
#include "plugin3d/model/core/k_interfaces.h"

namespace {

// The window of a form or control component, made when it has none yet.
HWND ComponentWindow(TComponent* component)
{
    auto* control = ObjectAs<TWinControl>(component);
    if (!control) return nullptr;
    control->HandleNeeded();
    return control->Handle();
}

// Every plug-in form without parent and owner is owned by main window 0 of the main-window
// list, so all of them stay above it and go with it.
HWND MainWindowZero()
{
    return GetMainWindowHandle(0);
}

void FormsInit()
{
    TKFormLinks links = FormLinks();
    links.componentWindow = ComponentWindow;
    SetFormLinks(links);
    if (Application) Application->SetDefaultOwnerSource(MainWindowZero);
}

void FormsFinal()
{
    if (Application) Application->SetDefaultOwnerSource(nullptr);
    TKFormLinks links = FormLinks();
    links.componentWindow = nullptr;
    SetFormLinks(links);
}

const TUnitInfo kKFormsUnit = {"KForms", FormsInit, FormsFinal};

}  // namespace

std::span<const TUnitInfo> FormsUnits()
{
    static const TUnitInfo units[] = {kFormsUnit, kKFormsUnit, kKFlatCaptionUnit, kButtonExUnit,
                                      kStringResourceUnit};
    return units;
}
