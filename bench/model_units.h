#pragma once

// The 3D model's units (core, render, scene) started for the length of a measurement.

#include "plugin3d/model/core/core_units.h"
#include "plugin3d/model/render/render_units.h"
#include "plugin3d/model/scene/scene_units.h"

class ModelUnits {
public:
    ModelUnits()
    {
        InitializeUnits(CoreUnits().data(), CoreUnits().size());
        InitializeUnits(RenderUnits().data(), RenderUnits().size());
        InitializeUnits(SceneUnits().data(), SceneUnits().size());
    }
    ~ModelUnits()
    {
        FinalizeUnits(SceneUnits().data(), SceneUnits().size());
        FinalizeUnits(RenderUnits().data(), RenderUnits().size());
        FinalizeUnits(CoreUnits().data(), CoreUnits().size());
    }
    ModelUnits(const ModelUnits&) = delete;
    ModelUnits& operator=(const ModelUnits&) = delete;
};
