#pragma once

// The progress meter every long piece of work is given. Workers report texts, ranges and
// positions through it; a stopped job's next progress call raises the cancel error.
//
// The virtual operations are declared in the order the meters of the suite rely on: the
// first ten, then those with empty default bodies; derived meters add theirs after these.
// Of the first ten, the five every meter must give are pure; the mode, the word range,
// the integer position and the two texts have plain defaults, so a meter that only
// moves a bar need not spell them out.

#include "platform/cstring.h"
#include "platform/types.h"

class CThread;
class CWnd;

class CMeterInfoBase {
public:
    virtual ~CMeterInfoBase() = default;

    /// A display mode of the meter; the meters of the suite ignore it.
    virtual void SetMode(int /*mode*/) {}
    virtual void SetText(const char* text) = 0;
    /// Moves the bar; throws the cancel error (code 11) once the job has been stopped.
    virtual void SetPos(double pos) = 0;
    virtual void SetRange(double low, double high) = 0;
    /// The range as two 16-bit words.
    virtual void SetRangeWords(WORD low, WORD high) { SetRange(low, high); }
    /// The position as an integer; stop check as SetPos.
    virtual void SetPosInt(int pos) { SetPos(pos); }
    virtual void SetStep(double step) = 0;
    /// Advances by the step; throws the cancel error once the job has been stopped.
    virtual void StepIt() = 0;
    /// The current progress text.
    virtual CString GetText() { return CString(); }
    /// The meter's caption (the job's title).
    virtual CString GetCaption() { return CString(); }

    /// The runner calls it on the job's thread when the worker has returned.
    virtual void JobFinished(int /*result*/) {}
    /// The runner gives the meter the job's thread before the job starts.
    virtual void SetThread(CThread* /*thread*/) {}
    virtual int GetFlags() { return 0; }
    virtual BOOL IsStopped() { return FALSE; }
    virtual void OnMeterMessage(UINT /*message*/) {}
    virtual void SetCaption(const char* /*text*/) {}
    /// The runner shows the meter before the job starts.
    virtual void ShowMeter(BOOL /*show*/) {}
    /// Moves the bar by `delta`; returns the previous position.
    virtual double DeltaPos(double /*delta*/) { return 0.0; }
};
