#pragma once

// The two small modal editors: the camera's screen distance and depth scale, reached through
// the camera's depository (operation 4098), and the diffuse reflection law's attenuation and
// radiation, reached through the object request "open editor" for the law's class.

#include <cstdint>

#include "platform/forms/forms.h"
#include "plugin3d/model/core/k_object.h"

class TButton;
class TEdit;
class TKEyeSystem3D;
class TKFlatCaption;
class TKSimpleDiffuseReflection;

/// The camera's store: remembers only which camera it serves, and forgets it when the camera
/// goes.
class TKEyeSystem3D_Depository : public TKObject {
    DECLARE_TCLASS(TKEyeSystem3D_Depository)

    void Init() override;
    /// Key 4096: the camera (anything else counts as none), result 0; other keys -1.
    int SetProperty(std::intptr_t key, std::intptr_t* value) override;
    /// Key 4096: the camera, result 0; other keys -1.
    int GetProperty(std::intptr_t key, std::intptr_t* value) override;
    /// The inherited operations; 4098 that none of them answers opens the camera editor
    /// (when there is a camera) and answers 0.
    int Operation(int code, std::intptr_t param) override;
    /// The camera's reference (4 bytes).
    int SaveToStream(TKObjectsStream* stream) override;
    int LoadFromStream(TKObjectsStream* stream) override;
    int LinkObjects(TKObjectsStream* stream) override;

    TKEyeSystem3D* Camera() const { return m_camera; }
    void SetCamera(TKEyeSystem3D* camera);

protected:
    TKEyeSystem3D_Depository() = default;
    ~TKEyeSystem3D_Depository() override;

private:
    void OnCameraEvent(TObject* sender, int code, std::intptr_t param);

    TKEyeSystem3D* m_camera = nullptr;
    std::int32_t m_storedCamera = 0;
};

class TKEyeSystem3DForm : public TForm {
    DECLARE_TCLASS(TKEyeSystem3DForm)

    TKFlatCaption* KFlatCaption1 = nullptr;
    TEdit* Edit1 = nullptr;
    TEdit* Edit2 = nullptr;
    TButton* Button1 = nullptr;
    TButton* Button2 = nullptr;

protected:
    TKEyeSystem3DForm() = default;
    std::vector<THandler> Handlers() override;
    void Loaded() override;
    void FormCreate(TObject* sender);
    void Edit1KeyPress(TObject* sender, char& key);
};

class TKSimpleDiffuseReflectionForm : public TForm {
    DECLARE_TCLASS(TKSimpleDiffuseReflectionForm)

    TKFlatCaption* KFlatCaption1 = nullptr;
    TEdit* Edits[6] = {};
    TButton* Button1 = nullptr;
    TButton* Button2 = nullptr;

protected:
    TKSimpleDiffuseReflectionForm() = default;
    std::vector<THandler> Handlers() override;
    void Loaded() override;
    void FormCreate(TObject* sender);
    void Edit1KeyPress(TObject* sender, char& key);
};

/// Runs the camera editor on camera (modal); true when Ok was chosen.
bool EditCamera(TKEyeSystem3D* camera);
/// Runs the reflection editor on law (modal); true when Ok was chosen.
bool EditReflectionLaw(TKSimpleDiffuseReflection* law);

/// Unit KEyeSystem3DForm: the camera depository's class branch, its pairing with
/// TKEyeSystem3D and the glyph "TKEyeSystem3D_64".
extern const TUnitInfo kKEyeSystem3DFormUnit;
/// Unit KSimpleDiffuseReflectionForm: the request handler of TKSimpleDiffuseReflection and
/// the glyph "TKSimpleDiffuseReflection_64".
extern const TUnitInfo kKSimpleDiffuseReflectionFormUnit;
