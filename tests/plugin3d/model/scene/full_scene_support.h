#pragma once

// The full scene of the project's round-trip, fuzz, race and golden tests: three surfaces
// made from layer files (one storing its nodes in the project file), an ambient, a flat and
// a point light, two cameras, three viewers of different colour types and cameras, a
// depository per surface whose records choose how each viewer shows the surface, and a
// custom object. The surfaces that do not store their nodes get them again from their layer
// files after a load, found through the project's search path, as the surface editor does.

#include <QImage>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin3d/model/scene/k_depository.h"
#include "plugin3d/model/scene/k_drawing_system3d.h"
#include "plugin3d/model/scene/k_eye_system3d.h"
#include "plugin3d/model/scene/k_project3d.h"
#include "plugin3d/model/scene/k_surface3d.h"
#include "tests/plugin3d/model/scene/scene_pictures.h"
#include "tests/support/test_environment.h"

namespace kelvora::test {

/// A surface's settings store: each record is a TSurfaceSettings applied to the surface
/// before a viewer is drawn; it also keeps the layer file the surface was made from and
/// fills the surface from it again at the end of a load (a relocated file found through
/// the project's FindFile).
class SurfaceDepository : public TKDepositoryCustomConstruction3D {
    DECLARE_TCLASS(SurfaceDepository)

    int RecordSize() const override;
    void ApplyCurrentRecord() override;
    int SaveToStream(TKObjectsStream* stream) override;
    int LoadFromStream(TKObjectsStream* stream) override;
    int EndOperation(int kind) override;

    /// Adds a record of the settings, named name; returns its index.
    int AddRecord(const std::string& name, const TSurfaceSettings& settings);

    std::string layerFile;
    /// Whether the last load found the layer file.
    bool layerFound = false;

protected:
    SurfaceDepository() = default;

private:
    TKelvora3DProject* m_loadingProject = nullptr;
};

/// Writes a float layer of width x height whose samples are shape(x, y).
std::string WriteLayer(const std::string& path, int width, int height, double (*shape)(double u, double v));

/// Fills surface from the layer: X and Y spread over [-half, half], Z stretched onto 0..height.
void FillSurfaceFromLayer(TKSurface3D& surface, const std::string& layerFile, float half, float height);

/// The full scene's objects, owned by the project.
struct FullScene {
    std::vector<std::string> layers;
    TKSurface3D* surfaces[3] = {};
    TKEyeSystem3D* cameras[2] = {};
    TKDrawingSystem3D* viewers[3] = {};
};

/// Builds the full scene in project, its layers in folder, with surfaces of grid x grid
/// nodes (the third one a quarter of that, stored in the file) and viewers of
/// width x height.
FullScene BuildFullScene(TKelvora3DProject& project, const std::string& folder, int grid, int width,
                         int height);

/// Registers the classes of the full scene for loading, for a scope.
class FullSceneClasses {
public:
    FullSceneClasses();
    ~FullSceneClasses();
};

/// The viewers of a project (in table order) that are drawing systems.
std::vector<TKDrawingSystem3D*> DrawingSystemsOf(TKelvora3DProject& project);

}  // namespace kelvora::test
