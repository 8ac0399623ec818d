#pragma once

// The progress meter every long piece of work is given. Workers report texts, ranges and
// positions through it; a stopped job's next progress call raises the cancel error.

#include "platform/cstring.h"
#include "platform/types.h"

class CThread;
class CWnd;

class CMeterInfoBase {
public:
    virtual ~CMeterInfoBase() = default;

    virtual void SetText(const char* text) = 0;
    /// Moves the bar; throws the cancel error (code 11) once the job has been stopped.
    virtual void SetPos(double pos) = 0;
    virtual void SetRange(double low, double high) = 0;
    virtual void SetStep(double step) = 0;
    /// Advances by the step; throws the cancel error once the job has been stopped.
    virtual void StepIt() = 0;

    virtual void JobFinished(int /*result*/) {}
    virtual void SetThread(CThread* /*thread*/) {}
    virtual BOOL IsStopped() { return FALSE; }
    virtual void OnMeterMessage(UINT /*message*/) {}
    virtual void SetCaption(const char* /*text*/) {}
    virtual void ShowMeter(BOOL /*show*/) {}
    /// Moves the bar by `delta`; returns the previous position.
    virtual double DeltaPos(double /*delta*/) { return 0.0; }
};
