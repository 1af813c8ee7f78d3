// The analysis session: every value of one run, and its phases in order.
//
// A run is a strictly linear dialogue: banner, material sets, layup, mid-plane reference,
// laminate stiffness and compliance, load response, relaxation sweep. Each phase reads what
// the phases before it left in the session. All reals are floats; matrices are stored by
// columns (entry (i, j) of an n by n matrix, counted from 1, at (j - 1) * n + (i - 1)).
#pragma once

#include <cstdint>

#include "analysis/invert.h"
#include "analysis/ply.h"

struct ConsoleIo;

constexpr int MAX_MATERIAL_SETS = 10;
constexpr int MAX_PLIES = 20;

// Sets whose moduli differ relatively by less than this are isotropic in the plane: their
// shear modulus is derived instead of asked for.
constexpr float ISOTROPY_TOLERANCE = 0.001f;

// The relaxation sweep runs from a hundredth of the relaxation time up to this many times
// it, in steps of a quarter decade (the float nearest ten to the power 0.25).
constexpr float SWEEP_SPAN_FACTOR = 100.0f;
constexpr float TIME_STEP_FACTOR = 1.7782794f;

// The stacking sequence, from the bottom face up, with the interface coordinates: ply k
// lies between z[k - 1] and z[k]. Once the layup is complete z is referred to the mid-plane.
struct Layup {
    PlyRecord plies[MAX_PLIES];  // plies[k - 1] is ply k
    std::int32_t plyCount = 0;
    float z[MAX_PLIES + 1] = {};
};

// The session of one run, on the console I/O the start-up made for it.
class AnalysisSession : private SingularRowHandler {
public:
    explicit AnalysisSession(ConsoleIo& console) : io(console) {}

    // Runs every phase once, in order.
    void run();

    // The phases, in the order run calls them.
    void writeBanner();
    void readMaterialSets();
    void readLayup();
    void referToMidPlane();
    void reportLaminateStiffness();
    void reportLoadResponse();
    void runRelaxationSweep();

    // The ply routines, for ply number k (1 to plyCount); each writes its 3 by 3 result into
    // the caller's array. reducedStiffness also leaves S in workCompliance, and
    // transformedStiffness leaves T, T', S and S-bar in the work matrices.
    void stressTransformation(int k, float* t);
    void inverseStressTransformation(int k, float* t);
    void plyCompliance(int k, float* s);
    void reducedStiffness(int k, float* q);
    void transformedStiffness(int k, float* qBar);

    // The console the dialogue runs on.
    ConsoleIo& io;

    // ---- The data of the run (zero at the start) ----

    MaterialSet materials[MAX_MATERIAL_SETS];  // materials[m - 1] is material set m
    Layup layup;

    // The material-set counter, which the layup dialogue reuses for the set number typed for
    // each ply (so a null value there keeps what it held), and the number of sets defined.
    std::int32_t setNumber = 0;
    std::int32_t setsDefined = 0;

    float laminateStiffness[36] = {};
    float laminateCompliance[36] = {};

    float loads[6] = {};        // Nx, Ny, Nxy, Mx, My, Mxy
    float deformation[6] = {};  // eps-xx, eps-yy, eps-xy, kappa-xx, kappa-yy, kappa-xy
    float midplaneStrains[3] = {};
    float curvatures[3] = {};

    // Per ply, rewritten for every ply handled.
    float midThickness = 0.0f;  // zm
    float plyStiffness[9] = {};  // the transformed stiffness Q-bar
    float laminateStress[3] = {};
    float plyStress[3] = {};

    // Q-bar and T of every ply as the stiffness report worked them out; the load response
    // uses them again.
    float plyStiffnesses[MAX_PLIES][9] = {};
    float plyTransformations[MAX_PLIES][9] = {};

    // The work matrices of the ply routines: T, T', S and S-bar of the ply last handled.
    float workStressTransformation[9] = {};
    float workInverseTransformation[9] = {};
    float workCompliance[9] = {};
    float workTransformedCompliance[9] = {};

    // The trigonometric terms of the ply angles met so far.
    AngleTable angles;

    // The relaxation sweep.
    float relaxationTime = 0.0f;
    float plyCreepStrains[3 * MAX_PLIES] = {};  // component c of ply k at (k - 1) * 3 + (c - 1)
    float creepDeformation[6] = {};
    float creepLoads[6] = {};
    int sweepRows = 0;  // rows written by the sweep

private:
    // An all-zero row met by the inversion: the user is told and the run waits for an
    // answer.
    void onSingularRow() override;
};
