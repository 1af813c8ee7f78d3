// The analysis session: the dialogue, the laminate stiffness and compliance, the load
// response and the relaxation sweep.
//
// Every prompt and result is one output statement and every typed value one input
// statement. Arithmetic is written out step by step: operands are widened to double, and a
// result is rounded to float exactly where it is stored (narrow), so that the printed
// figures follow from the order of operations given here. Faults in the arithmetic (a zero
// modulus, a zero relaxation time, an all-zero matrix row) are left to the floating-point
// fault reporting: the traps, or the checks at each narrow and decides.
#include "analysis/lamvis2.h"

#include <cmath>
#include <cstring>

#include "analysis/invert.h"
#include "analysis/rounding.h"
#include "consoleio/console_io.h"
#include "consoleio/pause.h"
#include "runtime/fpe.h"

namespace {

// The single-precision value nearest one third, used as a factor.
constexpr float ONE_THIRD = 1.0f / 3.0f;

const char* const LAYUP_PROMPT_FORMAT = "(/,' enter material set number for ply number',I3,': ')";
const char* const SET_RANGE_FORMAT = "(' material set must be a number from 1 to',I3)";
const char* const NO_SET_FORMAT = "(' no material set is defined; enter a negative number to stop')";
const char* const STIFFNESS_HEADING_FORMAT = "(/,' laminate stiffness matrix:',/)";
const char* const COMPLIANCE_HEADING_FORMAT = "(/,' laminate compliance matrix:',/)";
const char* const MATRIX_ROW_FORMAT = "(4X,3E12.4,2X,3E12.4)";
const char* const DEFORMATION_FORMAT =
    "(/,' midplane strains:',/,/,3X,'eps-xx =',E12.4,/,3X,'eps-yy =',E12.4,/,3X,"
    "'eps-xy =',E12.4,/,/,' rotations:',/,/,3X,'kappa-xx =',E12.4,/,3X,'kappa-yy= ',"
    "E12.4,/,3X,'kappa-xy =',E12.4,/,/)";
const char* const STRESS_HEADING_FORMAT =
    "(/,' stresses:',/,2X,'ply',5X,'sigma-1',5X,'sigma-2',4X,'sigma-12',/)";
const char* const STRESS_ROW_FORMAT = "(3X,I2,3E12.4)";
const char* const SWEEP_ROW_FORMAT = "(7E12.4)";

// ---- Statements ----

void writeText(ConsoleIo& io, const char* text) {
    beginWrite(io, CONSOLE_OUTPUT_UNIT, nullptr, -1);
    writeCharacter(io, text, static_cast<int>(std::strlen(text)));
    endWrite(io);
}

void writeEmptyLine(ConsoleIo& io) {
    beginWrite(io, CONSOLE_OUTPUT_UNIT, nullptr, -1);
    endWrite(io);
}

void writeFormatted(ConsoleIo& io, int unit, const char* format) {
    beginWrite(io, unit, format, -1);
    endWrite(io);
}

// A null value typed for the item leaves the target as it was.
void readReal(ConsoleIo& io, int unit, float& target) {
    beginRead(io, unit);
    readRealItem(io, target);
    endRead(io);
}

void readInteger(ConsoleIo& io, int unit, std::int32_t& target) {
    beginRead(io, unit);
    readIntegerItem(io, target);
    endRead(io);
}

void promptReal(ConsoleIo& io, const char* prompt, float& target) {
    writeText(io, prompt);
    readReal(io, CONSOLE_INPUT_UNIT, target);
}

// Entry (i, j), counted from 1, of a 6 by 6 matrix stored by columns.
inline float& entry6(float* m, int i, int j) { return m[(j - 1) * 6 + (i - 1)]; }
inline float entry3(const float* m, int i, int j) { return m[(j - 1) * 3 + (i - 1)]; }

// Strain at the coordinate zm of a ply from mid-plane values and curvatures:
// out(i) = curvature(i) * zm + midplane(i).
void strainAt(const float* midplane, const float* curvature, float zm, float* out) {
    for (int i = 0; i < 3; ++i) out[i] = narrow(wide(curvature[i]) * wide(zm) + wide(midplane[i]));
}

// Material-axis strain of a laminate-axis strain: R (T (R' v)), innermost product first.
// R' and R are diag(1, 1, 0.5) and diag(1, 1, 2). In their products by the rule of
// multiplyMatrixVector each zero term adds a zero to the running sum and a unit term takes
// the entry as it is, so entry i comes out as the rounding of 0 + d(i) v(i) (the zero that
// starts the sum turns a negative zero positive); that is written out here, with the same
// value and the same flags for every finite v. Only the last entry of R v can overflow.
void toMaterialAxes(const float* t, const float* v, float* out) {
    const float tensor[3] = {rounded(0.0 + wide(v[0])), rounded(0.0 + wide(v[1])),
                             rounded(0.0 + 0.5 * wide(v[2]))};
    float rotated[3];
    multiplyMatrixVector(t, tensor, 3, rotated);
    out[0] = rounded(0.0 + wide(rotated[0]));
    out[1] = rounded(0.0 + wide(rotated[1]));
    out[2] = narrow(0.0 + 2.0 * wide(rotated[2]));
}

}  // namespace

// ---- The run ----

void AnalysisSession::onSingularRow() { pauseForInput(io.units, 16, "Singular matrix."); }

void AnalysisSession::run() {
    writeBanner();
    readMaterialSets();
    readLayup();
    referToMidPlane();
    reportLaminateStiffness();
    reportLoadResponse();
    runRelaxationSweep();
    checkFloatingPointFault();
}

void AnalysisSession::writeBanner() {
    writeText(io, "Viscoelastic laminate code, rev 9/11/99");
    writeEmptyLine(io);
}

// ---- Material sets and layup ----

void AnalysisSession::readMaterialSets() {
    for (setNumber = 1; setNumber <= MAX_MATERIAL_SETS; ++setNumber) {
        MaterialSet& set = materials[setNumber - 1];

        beginWrite(io, CONSOLE_OUTPUT_UNIT, nullptr, -1);
        writeCharacter(io, "Material set ", 13);
        writeInteger(io, setNumber);
        writeCharacter(io, ": ", 2);
        endWrite(io);

        promptReal(io, "Enter modulus in fiber direction (-1 to stop): ", set.e1);
        if (decides(wide(set.e1) < 0.0)) break;  // any negative value stops; zero does not
        promptReal(io, "Enter modulus in transverse direction: ", set.e2);
        promptReal(io, "Enter principal Poisson ratio: ", set.nu12);

        // The relative difference is compared as computed, without rounding it to float. A
        // zero e1 divides by zero here.
        const Wide difference = abs((wide(set.e1) - wide(set.e2)) / wide(set.e1));
        if (decides(difference >= wide(ISOTROPY_TOLERANCE))) {
            promptReal(io, "Enter shear modulus: ", set.g12);
        } else {
            set.g12 = narrow(wide(set.e1) / ((wide(set.nu12) + 1.0) * 2.0));
        }

        promptReal(io, "Enter ply thickness: ", set.thickness);
        promptReal(io, "Enter creep fraction: ", set.creepFraction);
    }
    // The counter holds the set whose negative e1 stopped the dialogue, or 11 after ten.
    setsDefined = setNumber - 1;
}

void AnalysisSession::readLayup() {
    layup.z[0] = 0.0f;
    writeText(io, "Define layup sequence, starting at bottom...");
    writeText(io, "   (use negative material set number to stop)");

    for (int k = 1; k <= MAX_PLIES; ++k) {
        // Ask until the number is negative or names a defined set. The number is read into
        // the set counter itself, so a null value keeps the number it held.
        for (;;) {
            beginWrite(io, CONSOLE_OUTPUT_UNIT, LAYUP_PROMPT_FORMAT, -1);
            writeInteger(io, k);
            endWrite(io);
            readInteger(io, NUMBERED_INPUT_UNIT, setNumber);
            if (setNumber < 0 || (setNumber >= 1 && setNumber <= setsDefined)) break;
            if (setsDefined > 0) {
                beginWrite(io, CONSOLE_OUTPUT_UNIT, SET_RANGE_FORMAT, -1);
                writeInteger(io, setsDefined);
                endWrite(io);
            } else {
                writeFormatted(io, CONSOLE_OUTPUT_UNIT, NO_SET_FORMAT);
            }
        }
        if (setNumber < 0) break;

        PlyRecord& ply = layup.plies[k - 1];
        ply.materialSet = setNumber;
        promptReal(io, "enter ply angle: ", ply.angle);
        layup.z[k] = narrow(wide(layup.z[k - 1]) + wide(materials[setNumber - 1].thickness));
        layup.plyCount = k;
    }
}

void AnalysisSession::referToMidPlane() {
    const float half = narrow(wide(layup.z[layup.plyCount]) / 2.0);
    for (int k = 0; k <= layup.plyCount; ++k) layup.z[k] = narrow(wide(layup.z[k]) - wide(half));
}

// ---- Ply routines ----

void AnalysisSession::stressTransformation(int k, float* t) {
    stressTransformationOf(angles, layup.plies[k - 1].angle, t);
}

void AnalysisSession::inverseStressTransformation(int k, float* t) {
    inverseStressTransformationOf(angles, layup.plies[k - 1].angle, t);
}

void AnalysisSession::plyCompliance(int k, float* s) {
    plyComplianceOf(materials[layup.plies[k - 1].materialSet - 1], s);
}

void AnalysisSession::reducedStiffness(int k, float* q) {
    plyCompliance(k, workCompliance);
    invertMatrix(workCompliance, 3, 3, q, this);
}

void AnalysisSession::transformedStiffness(int k, float* qBar) {
    stressTransformation(k, workStressTransformation);
    inverseStressTransformation(k, workInverseTransformation);
    plyCompliance(k, workCompliance);

    // S-bar = R (T' (R' (S T))), innermost product first, each into its own temporary.
    float p1[9];
    float p2[9];
    float p3[9];
    float sBar[9];
    multiplyMatrices(workCompliance, workStressTransformation, 3, p1);
    multiplyMatrices(INVERSE_REUTER_MATRIX, p1, 3, p2);
    multiplyMatrices(workInverseTransformation, p2, 3, p3);
    multiplyMatrices(REUTER_MATRIX, p3, 3, sBar);
    std::memcpy(workTransformedCompliance, sBar, sizeof sBar);

    invertMatrix(sBar, 3, 3, qBar, this);
}

// ---- Laminate stiffness and compliance ----

void AnalysisSession::reportLaminateStiffness() {
    float* const a = laminateStiffness;
    for (int k = 1; k <= layup.plyCount; ++k) {
        const Wide zTop = wide(layup.z[k]);
        const Wide zBottom = wide(layup.z[k - 1]);
        const float w1 = narrow(zTop - zBottom);
        const float w2 = narrow((pow(zTop, 2.0) - pow(zBottom, 2.0)) * 0.5);
        const float w3 = narrow((pow(zTop, 3.0) - pow(zBottom, 3.0)) * wide(ONE_THIRD));

        transformedStiffness(k, plyStiffness);
        std::memcpy(plyStiffnesses[k - 1], plyStiffness, sizeof plyStiffness);
        std::memcpy(plyTransformations[k - 1], workStressTransformation, sizeof workStressTransformation);
        for (int i = 1; i <= 3; ++i) {
            for (int j = 1; j <= 3; ++j) {
                const Wide q = wide(entry3(plyStiffness, i, j));
                entry6(a, i, j) = narrow(q * wide(w1) + wide(entry6(a, i, j)));
                entry6(a, i + 3, j) = narrow(q * wide(w2) + wide(entry6(a, i + 3, j)));
                entry6(a, i, j + 3) = narrow(q * wide(w2) + wide(entry6(a, i, j + 3)));
                entry6(a, i + 3, j + 3) = narrow(q * wide(w3) + wide(entry6(a, i + 3, j + 3)));
            }
        }
    }

    auto printMatrix = [this](const char* heading, float* m) {
        writeFormatted(io, CONSOLE_OUTPUT_UNIT, heading);
        for (int i = 1; i <= 6; ++i) {
            beginWrite(io, CONSOLE_OUTPUT_UNIT, MATRIX_ROW_FORMAT, -1);
            for (int j = 1; j <= 6; ++j) writeReal(io, entry6(m, i, j));
            endWrite(io);
            if (i == 3) writeEmptyLine(io);
        }
    };

    printMatrix(STIFFNESS_HEADING_FORMAT, laminateStiffness);
    invertMatrix(laminateStiffness, 6, 6, laminateCompliance, this);
    printMatrix(COMPLIANCE_HEADING_FORMAT, laminateCompliance);
}

// ---- Load response ----

void AnalysisSession::reportLoadResponse() {
    writeEmptyLine(io);
    writeText(io, "input tractions and moments...");
    writeEmptyLine(io);
    promptReal(io, "   Nx: ", loads[0]);
    promptReal(io, "   Ny: ", loads[1]);
    promptReal(io, "  Nxy: ", loads[2]);
    promptReal(io, "   Mx: ", loads[3]);
    promptReal(io, "   My: ", loads[4]);
    promptReal(io, "  Mxy: ", loads[5]);

    multiplyMatrixVector(laminateCompliance, loads, 6, deformation);

    beginWrite(io, NUMBERED_OUTPUT_UNIT, DEFORMATION_FORMAT, -1);
    for (float value : deformation) writeReal(io, value);
    endWrite(io);
    writeFormatted(io, NUMBERED_OUTPUT_UNIT, STRESS_HEADING_FORMAT);

    for (int i = 0; i < 3; ++i) {
        midplaneStrains[i] = deformation[i];
        curvatures[i] = deformation[i + 3];
    }

    for (int k = 1; k <= layup.plyCount; ++k) {
        midThickness = narrow((wide(layup.z[k]) + wide(layup.z[k - 1])) / 2.0);
        std::memcpy(plyStiffness, plyStiffnesses[k - 1], sizeof plyStiffness);
        std::memcpy(workStressTransformation, plyTransformations[k - 1], sizeof workStressTransformation);

        float a[3];
        float b[3];
        multiplyMatrixVector(plyStiffness, midplaneStrains, 3, a);
        multiplyMatrixVector(plyStiffness, curvatures, 3, b);
        for (int i = 0; i < 3; ++i) laminateStress[i] = narrow(wide(b[i]) * wide(midThickness) + wide(a[i]));
        multiplyMatrixVector(workStressTransformation, laminateStress, 3, plyStress);

        beginWrite(io, NUMBERED_OUTPUT_UNIT, STRESS_ROW_FORMAT, -1);
        writeInteger(io, k);
        for (float value : plyStress) writeReal(io, value);
        endWrite(io);
    }
}

// ---- Relaxation sweep ----

namespace {

// What the plies of the relaxation sweep's rows share: the creep deformation a row starts
// from, its time step and decay factor, and each ply's T, T' and reduced stiffness, which
// are the same in every row (the first row works them out, in the order of the ply loop,
// and the later rows use them again).
struct SweepState {
    float creepMidplane[3];
    float creepCurvatures[3];
    float timeStep = 0.0f;
    Wide decay = 0.0;
    bool firstRow = true;
    float transformations[MAX_PLIES][9];
    float inverseTransformations[MAX_PLIES][9];
    float reducedStiffnesses[MAX_PLIES][9];
};


// One ply's part of a row of the relaxation sweep: its creep strains relax over the row's
// time step, and the resultants of their stress are added to the session's creepLoads.
void relaxPly(AnalysisSession& session, int k, SweepState& sweep) {
    session.midThickness = narrow((wide(session.layup.z[k]) + wide(session.layup.z[k - 1])) / 2.0);
    const float zm = session.midThickness;
    const float hk = narrow(wide(session.layup.z[k]) - wide(session.layup.z[k - 1]));

    const float* const t = sweep.transformations[k - 1];
    const float* const tInverse = sweep.inverseTransformations[k - 1];
    const float* const q = sweep.reducedStiffnesses[k - 1];
    if (sweep.firstRow) {
        session.stressTransformation(k, sweep.transformations[k - 1]);
        session.inverseStressTransformation(k, sweep.inverseTransformations[k - 1]);
        session.reducedStiffness(k, sweep.reducedStiffnesses[k - 1]);
    }

    float laminateStrain[3];
    float materialStrain[3];
    float laminateCreep[3];
    float materialCreep[3];
    strainAt(session.midplaneStrains, session.curvatures, zm, laminateStrain);
    toMaterialAxes(t, laminateStrain, materialStrain);
    strainAt(sweep.creepMidplane, sweep.creepCurvatures, zm, laminateCreep);
    toMaterialAxes(t, laminateCreep, materialCreep);

    float* const stored = &session.plyCreepStrains[(k - 1) * 3];
    float w[3] = {stored[0], stored[1], stored[2]};

    // Stress of the elastic strain: the total strain less the creep strain.
    float elastic[3];
    for (int i = 0; i < 3; ++i) {
        const float total = narrow(wide(materialCreep[i]) + wide(materialStrain[i]));
        elastic[i] = narrow(wide(total) - wide(w[i]));
    }
    float s[3];
    multiplyMatrixVector(q, elastic, 3, s);

    const MaterialSet& set = session.materials[session.layup.plies[k - 1].materialSet - 1];
    const float a2 = narrow(wide(set.creepFraction) / wide(set.e2));
    const float a3 = narrow(wide(set.creepFraction) / wide(set.g12));

    // Each creep strain relaxes towards creep fraction * stress / modulus with the
    // relaxation time as time constant. The decay factor is the same for both updates and
    // every ply of a row: it is evaluated at the first ply's update, and kept; a zero
    // relaxation time makes 0/0 there.
    if (k == 1) sweep.decay = exp(-(wide(sweep.timeStep) / wide(session.relaxationTime)));
    const Wide decay2 = sweep.decay;
    w[1] = narrow((1.0 - decay2) * wide(s[1]) * wide(a2) + decay2 * wide(w[1]));
    const Wide decay3 = sweep.decay;
    w[2] = narrow((1.0 - decay3) * wide(s[2]) * wide(a3) + decay3 * wide(w[2]));
    stored[1] = w[1];
    stored[2] = w[2];

    // Laminate-axis stress of the creep strain, and its resultants over the ply.
    float creepStress[3];
    float sc[3];
    multiplyMatrixVector(q, w, 3, creepStress);
    multiplyMatrixVector(tInverse, creepStress, 3, sc);
    for (int i = 0; i < 3; ++i) {
        const Wide force = wide(sc[i]) * wide(hk);
        session.creepLoads[i] = narrow(wide(session.creepLoads[i]) + force);
        session.creepLoads[i + 3] = narrow(wide(session.creepLoads[i + 3]) + force * wide(zm));
    }
}

}  // namespace

void AnalysisSession::runRelaxationSweep() {
    writeText(io, "Enter relaxation time");
    readReal(io, CONSOLE_INPUT_UNIT, relaxationTime);

    float previousTime = 0.0f;
    float time = narrow(wide(relaxationTime) / 100.0);
    SweepState sweep;

    // 100 times the relaxation time is compared exactly; a NaN comparison ends the loop too.
    while (decides(wide(SWEEP_SPAN_FACTOR) * wide(relaxationTime) >= wide(time))) {
        sweep.timeStep = narrow(wide(time) - wide(previousTime));
        for (int i = 0; i < 3; ++i) {
            midplaneStrains[i] = deformation[i];
            curvatures[i] = deformation[i + 3];
            sweep.creepMidplane[i] = creepDeformation[i];
            sweep.creepCurvatures[i] = creepDeformation[i + 3];
        }
        // Each row shows the deformation of the plies' current creep strains: the
        // resultants are summed afresh at every step.
        for (float& load : creepLoads) load = 0.0f;
        sweep.decay = 0.0;
        for (int k = 1; k <= layup.plyCount; ++k) relaxPly(*this, k, sweep);

        multiplyMatrixVector(laminateCompliance, creepLoads, 6, creepDeformation);

        beginWrite(io, CONSOLE_OUTPUT_UNIT, SWEEP_ROW_FORMAT, -1);
        writeReal(io, time);
        for (float value : creepDeformation) writeReal(io, value);
        endWrite(io);
        ++sweepRows;
        sweep.firstRow = false;

        previousTime = time;
        time = narrow(wide(time) * wide(TIME_STEP_FACTOR));
        // A time that no longer grows (a relaxation time whose hundredth is zero) would
        // repeat the same row for ever.
        if (decides(!(wide(time) > wide(previousTime)))) break;
    }
}
