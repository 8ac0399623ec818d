#pragma once

// The navigator's arithmetic, kept apart from its window: where a slave basis lies in a
// master's axes (V, the slave's origin, and M, its axes, both in the master's coordinates),
// the three orientation angles in both directions, typed positions and distances, the fixed
// direction, the dial's drag and the step buttons' repeat.
//
// Every change that would need the inverse of a singular matrix is refused and leaves the
// state as it was: an infinite inverse written into a basis would carry NaN into every
// sub-basis that follows it.

#include <string>
#include <string_view>

#include "plugin3d/model/render/k_vectors.h"

class TKBasis3D;

/// A basis's origin and matrix.
struct BasisPlacement {
    TVector3D origin;
    TMatrix3D matrix;
};

/// The origin and matrix of basis.
BasisPlacement PlacementOf(const TKBasis3D& basis);

/// The first axis of the angle decomposition: X-Y-X, Y-Z-Y or Z-X-Z.
enum class NavigatorAxis : int { X = 1, Y = 2, Z = 3 };

/// The three orientation angles in degrees, shown as X^X', Y^Y' and Z^Z' for axis X.
struct NavigatorAngles {
    double u = 0, v = 0, w = 0;
};

/// out := the inverse of a; false (out unchanged) when a has no finite inverse.
bool InvertMatrix(const TMatrix3D& a, TMatrix3D& out);

/// The orientation built from three angles: Rx(v) * Ry(u) * Rx0(w) for axis X, where Rx0 is
/// mirrored in x when mirrored is set; for Y and Z the axes are renamed (X -> Y -> Z -> X,
/// or X -> Z -> Y -> X).
TMatrix3D BuildOrientation(const NavigatorAngles& angles, NavigatorAxis axis, bool mirrored);
/// The angles that BuildOrientation turns into the direction of matrix's columns (their
/// lengths do not matter; a negative determinant is read as a mirrored orientation).
NavigatorAngles DecomposeOrientation(const TMatrix3D& matrix, NavigatorAxis axis);

/// The factor of a step button's tick (the first tick is 0): 1 for ticks 0 to 9, then
/// doubling every nine ticks up to 512.
double StepMultiplier(int tick);
/// The step of a button: 10^-exponent, negative for the even (down) tags.
double StepSize(int exponent, int tag);
/// The edit a step button's tag drives: 1 to 7 for tags 1 to 14.
int StepField(int tag);
/// "Step :  1" for exponent 0, else "Step : 1e-<exponent>".
std::string StepLabel(int exponent);
/// Whether a number box takes key while it holds text: digits, one '-', one '.', and
/// backspace; nothing but backspace once it holds 13 characters.
bool AcceptEditKey(std::string_view text, char key);

/// The distance below which (and at which) the distance box changes nothing.
inline constexpr double kNavigatorMinDistance = 0.01;
/// What Plus divides and Minus multiplies the distance by.
inline constexpr double kNavigatorDistanceFactor = 1.25;

/// The relative state of a slave basis and the switches that decide how it is shown.
class NavigatorMath {
public:
    TVector3D v;     ///< The slave's origin in the master's axes.
    TMatrix3D m;     ///< The slave's axes in the master's axes.
    TMatrix3D minv;  ///< The inverse of m, kept in step with it.
    TVector3D f;     ///< The direction the fixer keeps.
    NavigatorAxis axis = NavigatorAxis::X;
    bool masterFromSlave = false;  ///< MS_Btn: show the master seen from the slave.
    bool fixer = false;            ///< FixerBtn: keep f while the position changes.
    bool mirrored = false;         ///< InverseBtn: the orientation is mirrored.

    /// Reads the slave relative to the master (either may be null: zero and identity).
    /// False, and nothing changes, when the master or the slave in its axes is singular.
    bool Reset(const BasisPlacement* master, const BasisPlacement* slave);
    bool Reset(const TKBasis3D* master, const TKBasis3D* slave);
    /// Where the slave goes: origin master.o + master.A * v, matrix master.A * m. False when
    /// that placement has no finite inverse.
    bool SlavePlacement(const BasisPlacement* master, BasisPlacement& out) const;
    /// Moves slave (with its sub-bases) to SlavePlacement. False, and the slave stays, when
    /// there is no slave or the placement is refused.
    bool Apply(const TKBasis3D* master, TKBasis3D* slave) const;

    /// The vector in the position boxes: v, or -(minv * v) (the master's origin in the
    /// slave's axes) with masterFromSlave.
    TVector3D ShownVector() const;
    /// The angle boxes: the angles of m, or of minv with masterFromSlave.
    NavigatorAngles ShownAngles() const;
    /// |v|.
    double Distance() const;

    /// Typed angles: the shown matrix turns to them, each column keeping its length.
    bool SetAngles(const NavigatorAngles& angles);
    /// Mirrors the orientation (or takes the mirror off): the shown angles built again.
    bool SetMirrored(bool on);
    /// A typed position t of the shown vector. With the fixer the slave also turns so that
    /// the fixed direction is kept.
    bool SetPosition(const TVector3D& t);
    /// v keeps its direction and takes length d; nothing when |v| or d is 0.01 or less.
    bool SetDistance(double d);
    /// m := turn * start (a drag from start), then the fixed direction is kept.
    bool Turn(const TMatrix3D& turn, const TMatrix3D& start);

    /// f := v with masterFromSlave, else -(minv * v).
    void UpdateFixedDirection();
    /// With the fixer and a non-zero f, moves v so that f is the direction again.
    void KeepDirection();
    /// m with its columns of length 1: the reper's placement.
    TMatrix3D ReperMatrix() const;

private:
    bool SetMatrix(const TMatrix3D& matrix);
    bool SetInverse(const TMatrix3D& inverse);
};

/// The dial's drag: a press outside the circle inscribed in the box spins about the view
/// axis; one inside tilts about (dy, dx, 0), one degree per pixel.
struct DialDrag {
    int width = 1, height = 1;  ///< The dial box.
    int x0 = 0, y0 = 0;         ///< Where the drag started.
    bool spin = false;

    /// Starts a drag at (x, y) in a box of width x height.
    static DialDrag Start(int x, int y, int width, int height);
    /// The turn from the start point to (x, y).
    TMatrix3D Rotation(int x, int y) const;
};
