// Failure envelopes in the plane of two of the six load resultants, the others held as given:
// the directions (by the kit's own trigonometry, the same bits everywhere), the loads of each
// direction's run, the failure point of each direction, and the CSV and SVG texts. The runs
// are the caller's. Free of file and process calls.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kit/criteria.h"
#include "kit/ply_stress.h"

namespace kit {

struct EnvelopePlane {
    int first = 0, second = 1;  // indices of LOAD_NAMES
};

// "nx,ny", any two different names of nx, ny, nxy, mx, my, mxy; none (with `bad`) otherwise.
std::optional<EnvelopePlane> planeNamed(std::string_view text, std::string& bad);

// Direction i of `points`, in degrees from the first load's axis towards the second's.
double envelopeDirection(int i, int points);

// Whether any of the loads is not zero.
bool anyLoad(const std::array<double, 6>& loads);

// The loads held as given (the plane's two set to zero).
std::array<double, 6> fixedLoads(const std::array<double, 6>& given, EnvelopePlane plane);
// The size of the loads that each direction's run applies in the plane: the given loads'
// size in the plane, or the largest given load, or 1.
double envelopeScale(const std::array<double, 6>& given, EnvelopePlane plane);
// The loads of a direction's run on top of the fixed ones: `scale` along `degrees`.
std::array<double, 6> directionLoads(EnvelopePlane plane, double degrees, double scale);

struct EnvelopePoint {
    Criterion criterion = Criterion::TsaiWu;
    double direction = 0;             // degrees
    std::optional<double> a, b;       // the plane's two loads at failure (none: not reached)
    int ply = 0;
    Face face = Bottom;
    Mode mode = Mode::None;
    std::string note;                 // why there is no point
};

// The point of a direction whose run's loads (directionLoads with `scale`) fail at `factor`.
EnvelopePoint envelopePoint(Criterion c, EnvelopePlane plane, double degrees, double scale,
                            std::optional<double> factor);

// CSV: a header (criterion, direction, the two loads' names, ply, face, mode), a row a point.
std::string envelopeCsv(EnvelopePlane plane, const std::vector<EnvelopePoint>& points);

// SVG: each criterion's envelope as a closed line, the axes named, the origin and the given
// load marked.
std::string envelopeSvg(EnvelopePlane plane, const std::vector<EnvelopePoint>& points,
                        const std::array<double, 6>& given, const std::string& title);

}  // namespace kit
