#include <memory>

#include "outside/basecore/geo_tags.h"
#include "viewer/core/view_rect.h"
#include "viewer/core/viewer_messages.h"

void CViewRect::LoadGeoReference(const char* file)
{
    SGeoTags tags;
    ReadGeoTags(file, &tags);
    m_bGeoTransform = FALSE;
    m_bGeoCompact = tags.hasReadout ? tags.compact : 0;
    m_Transform = TransformMatrix{};
    if (m_CoordLaw.LoadData(file)) EquateTransform(tags.transform, &m_Transform);
    TransformMatrix geo;
    if (MakeGeoTransform(tags, &geo)) {
        m_Transform = geo;
        m_bGeoTransform = TRUE;
    }
}

int CViewRect::AddTransformedLayer(const char* file, int component, double stretchLow, double stretchHigh,
                                   int stretchMethod, int openMode, CMeterInfoBase* meter, CStatusBar* status)
{
    (void)file;
    (void)component;
    (void)stretchLow;
    (void)stretchHigh;
    (void)stretchMethod;
    (void)openMode;
    (void)meter;
    (void)status;
    return -1;
}

int CViewRect::AddRasterLayer(const char* name, void* samples, int width, int height, int dataType,
                              BYTE* pyramid, PalitraTag* palette, double low, double high,
                              CMeterInfoBase* meter, CStatusBar* status)
{
    (void)name;
    (void)samples;
    (void)width;
    (void)height;
    (void)dataType;
    (void)pyramid;
    (void)palette;
    (void)low;
    (void)high;
    (void)meter;
    (void)status;
    return -1;
}

int CViewRect::AddBlankLayer(const char* path, int width, int height, int dataType, int stretchMethod,
                             CMeterInfoBase* meter, CStatusBar* status)
{
    (void)path;
    (void)width;
    (void)height;
    (void)dataType;
    (void)stretchMethod;
    (void)meter;
    (void)status;
    return -1;
}

int CViewRect::AddRgbLayer(ViewResultParam*, ViewResultParam*, ViewResultParam*, CMeterInfoBase*, CStatusBar*)
{
    // The RGB composite view is not built yet.
    return -1;
}

int CViewRect::AddVectorLayer(CVectorImage*)
{
    // The vector view is not built yet; without an active view there is nothing to lay it over.
    return -1;
}

int CViewRect::AddFigureLayer(int, BOOL)
{
    // The figure view is not built yet.
    return -1;
}

// --- forwarders that only a raster view answers ---------------------------------------------------

int CViewRect::Redisplay(CMeterInfoBase* meter, CStatusBar* status, int complexMode, double stretchLow,
                         double stretchHigh, int stretchMethod)
{
    (void)meter;
    (void)status;
    (void)complexMode;
    (void)stretchLow;
    (void)stretchHigh;
    (void)stretchMethod;
    return 0;
}

int CViewRect::StartTuneRepresentation(ViewResultParam*, ViewResultParam*, ViewResultParam*)
{
    // Tunes an RGB composite, which is not built yet.
    return 0;
}

int CViewRect::Reopen(const char* path)
{
    (void)path;
    return 0;
}

int CViewRect::CalcStatistics(int a, CMeterInfoBase* meter, CStatusBar* status, int flag)
{
    (void)a;
    (void)meter;
    (void)status;
    (void)flag;
    return 1;
}

void CViewRect::ShowComplexComponent(int mode)
{
    (void)mode;
}
