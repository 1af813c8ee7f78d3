#include "kit/envelope.h"

#include <cmath>

#include "kit/render.h"
#include "kit/strength.h"
#include "kit/trig.h"

namespace kit {

std::optional<EnvelopePlane> planeNamed(std::string_view text, std::string& bad) {
    auto index = [](std::string_view name) {
        for (int i = 0; i < 6; ++i)
            if (name == LOAD_NAMES[i]) return i;
        return -1;
    };
    std::size_t comma = text.find(',');
    if (comma == text.npos) {
        bad = std::string(text);
        return std::nullopt;
    }
    EnvelopePlane p{index(text.substr(0, comma)), index(text.substr(comma + 1))};
    if (p.first < 0 || p.second < 0 || p.first == p.second) {
        bad = std::string(text);
        return std::nullopt;
    }
    return p;
}

bool anyLoad(const std::array<double, 6>& loads) {
    for (double v : loads)
        if (v != 0) return true;
    return false;
}

double envelopeDirection(int i, int points) { return 360.0 * i / points; }

std::array<double, 6> fixedLoads(const std::array<double, 6>& given, EnvelopePlane plane) {
    std::array<double, 6> f = given;
    f[plane.first] = f[plane.second] = 0;
    return f;
}

double envelopeScale(const std::array<double, 6>& given, EnvelopePlane plane) {
    const double a = given[plane.first], b = given[plane.second];
    if (a != 0 || b != 0) return std::sqrt(a * a + b * b);
    double largest = 0;
    for (double v : given) largest = std::max(largest, std::fabs(v));
    return largest > 0 ? largest : 1;
}

std::array<double, 6> directionLoads(EnvelopePlane plane, double degrees, double scale) {
    const CosSin cs = cosSinDegrees(degrees);
    std::array<double, 6> loads{};
    loads[plane.first] = scale * cs.cos;
    loads[plane.second] = scale * cs.sin;
    return loads;
}

EnvelopePoint envelopePoint(Criterion c, EnvelopePlane plane, double degrees, double scale,
                            std::optional<double> factor) {
    EnvelopePoint p;
    p.criterion = c;
    p.direction = degrees;
    if (factor) {
        const std::array<double, 6> loads = directionLoads(plane, degrees, scale * *factor);
        p.a = loads[plane.first];
        p.b = loads[plane.second];
    }
    return p;
}

std::string envelopeCsv(EnvelopePlane plane, const std::vector<EnvelopePoint>& points) {
    std::string out = std::string("criterion,direction,") + LOAD_NAMES[plane.first] + "," +
                      LOAD_NAMES[plane.second] + ",ply,face,mode\n";
    for (const EnvelopePoint& p : points) {
        out += std::string(criterionName(p.criterion)) + "," + shortest(p.direction) + ",";
        if (p.a && p.b)
            out += shortest(*p.a) + "," + shortest(*p.b) + "," + std::to_string(p.ply) + "," +
                   FACE_NAMES[p.face] + "," + modeName(p.mode) + "\n";
        else
            out += "infinite,infinite,,,\n";
    }
    return out;
}

namespace {

const char* const COLOURS[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#8c564b"};

std::string escapeXml(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '&') out += "&amp;";
        else if (c == '"') out += "&quot;";
        else out += c;
    }
    return out;
}

}  // namespace

std::string envelopeSvg(EnvelopePlane plane, const std::vector<EnvelopePoint>& points,
                        const std::array<double, 6>& given, const std::string& title) {
    // The plot spans the largest coordinate of any point and of the given load, both ways.
    double extent = std::max(std::fabs(given[plane.first]), std::fabs(given[plane.second]));
    for (const EnvelopePoint& p : points)
        if (p.a && p.b) extent = std::max({extent, std::fabs(*p.a), std::fabs(*p.b)});
    if (!(extent > 0)) extent = 1;
    extent *= 1.1;
    const double size = 480, margin = 60, half = size / 2;
    auto x = [&](double v) { return shortest(std::round((margin + half + v / extent * half) * 100) / 100); };
    auto y = [&](double v) { return shortest(std::round((margin + half - v / extent * half) * 100) / 100); };
    const std::string a = LOAD_NAMES[plane.first], b = LOAD_NAMES[plane.second];
    const std::string full = shortest(size + 2 * margin);
    std::string out = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + full + "\" height=\"" + full +
                      "\" viewBox=\"0 0 " + full + " " + full + "\" font-family=\"sans-serif\" font-size=\"12\">\n";
    out += "<title>" + escapeXml(title) + "</title>\n";
    out += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    // Axes through the origin, named, with their ends' values.
    out += "<line x1=\"" + x(-extent) + "\" y1=\"" + y(0) + "\" x2=\"" + x(extent) + "\" y2=\"" + y(0) +
           "\" stroke=\"black\"/>\n";
    out += "<line x1=\"" + x(0) + "\" y1=\"" + y(-extent) + "\" x2=\"" + x(0) + "\" y2=\"" + y(extent) +
           "\" stroke=\"black\"/>\n";
    out += "<text x=\"" + x(extent) + "\" y=\"" + y(0) + "\" dx=\"6\" dy=\"4\">" + a + "</text>\n";
    out += "<text x=\"" + x(0) + "\" y=\"" + y(extent) + "\" dy=\"-8\" text-anchor=\"middle\">" + b + "</text>\n";
    out += "<text x=\"" + x(extent) + "\" y=\"" + y(0) + "\" dy=\"16\" text-anchor=\"end\">" + fiveDigits(extent) + "</text>\n";
    out += "<text x=\"" + x(0) + "\" y=\"" + y(extent) + "\" dx=\"6\" dy=\"12\">" + fiveDigits(extent) + "</text>\n";
    out += "<circle cx=\"" + x(0) + "\" cy=\"" + y(0) + "\" r=\"3\" fill=\"black\"><title>origin</title></circle>\n";
    // Each criterion's points, joined in the order of their directions.
    int shown = 0;
    for (Criterion c : ALL_CRITERIA) {
        std::string line;
        for (const EnvelopePoint& p : points)
            if (p.criterion == c && p.a && p.b) {
                if (!line.empty()) line += ' ';
                line += x(*p.a);
                line += ',';
                line += y(*p.b);
            }
        bool any = false;
        for (const EnvelopePoint& p : points) any = any || p.criterion == c;
        if (!any) continue;
        const char* colour = COLOURS[shown % 6];
        if (!line.empty())
            out += "<polygon points=\"" + line + "\" fill=\"none\" stroke=\"" + colour + "\" stroke-width=\"1.5\"/>\n";
        out += "<text x=\"" + shortest(margin) + "\" y=\"" + shortest(margin / 2 + 14 * shown) + "\" fill=\"" + colour +
               "\">" + criterionName(c) + "</text>\n";
        ++shown;
    }
    const double ga = given[plane.first], gb = given[plane.second];
    out += "<path d=\"M" + x(ga) + "," + y(gb) + " m-6,-6 l12,12 m0,-12 l-12,12\" stroke=\"black\" stroke-width=\"2\">"
           "<title>the given load: " + a + " " + shortest(ga) + ", " + b + " " + shortest(gb) + "</title></path>\n";
    out += "<text x=\"" + x(ga) + "\" y=\"" + y(gb) + "\" dx=\"8\" dy=\"-8\">given load</text>\n";
    out += "</svg>\n";
    return out;
}

}  // namespace kit
