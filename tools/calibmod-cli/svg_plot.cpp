// calibmod-cli: correction curves as an SVG line chart, and as CSV.
#include "svg_plot.h"

#include <algorithm>
#include <cstdio>

namespace cli {

namespace {

const int kPanelWidth = 760, kPanelHeight = 380;
const int kPlotLeft = 64, kPlotTop = 40, kPlotWidth = 440, kPlotHeight = 280;
const int kLegendLeft = kPlotLeft + kPlotWidth + 28;
const int kTitleHeight = 44;
const int kInputMax = 255, kOutputMax = 4095;
const char *const kPalette[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e",
                                "#17becf", "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22"};
const int kPaletteSize = 10;

std::string escape(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '"') {
            out += "&quot;";
        } else if (static_cast<unsigned char>(c) < 0x20) {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

std::string num(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4g", v);
    return buf;
}

std::string pathData(const CurveValues &c)
{
    std::string d;
    for (size_t k = 0; k < c.size(); ++k) {
        d += (k == 0 ? "M" : " L") + std::to_string(k) + "," + std::to_string(c[k]);
    }
    return d;
}

std::string idAttr(int adjustId)
{
    return adjustId == kNoAdjustId ? "none" : std::to_string(adjustId);
}

// The axes, grid and tick labels of a panel whose plot area starts at (x, y).
void drawFrame(std::string &s, int x, int y)
{
    s += "<g class=\"grid\" stroke=\"#dddddd\" stroke-width=\"1\">\n";
    for (int in = 0; in <= kInputMax; in = in == 224 ? kInputMax : in + 32) {
        double px = x + kPlotWidth * in / double(kInputMax);
        s += "<line x1=\"" + num(px) + "\" y1=\"" + num(y) + "\" x2=\"" + num(px) + "\" y2=\"" + num(y + kPlotHeight) +
             "\"/>\n";
        if (in == kInputMax) {
            break;
        }
    }
    for (int out = 0; out <= kOutputMax; out = out == 3584 ? kOutputMax : out + 512) {
        double py = y + kPlotHeight - kPlotHeight * out / double(kOutputMax);
        s += "<line x1=\"" + num(x) + "\" y1=\"" + num(py) + "\" x2=\"" + num(x + kPlotWidth) + "\" y2=\"" + num(py) +
             "\"/>\n";
        if (out == kOutputMax) {
            break;
        }
    }
    s += "</g>\n<g class=\"axes\" stroke=\"#333333\" stroke-width=\"1.2\">\n";
    s += "<line x1=\"" + num(x) + "\" y1=\"" + num(y + kPlotHeight) + "\" x2=\"" + num(x + kPlotWidth) + "\" y2=\"" +
         num(y + kPlotHeight) + "\"/>\n";
    s += "<line x1=\"" + num(x) + "\" y1=\"" + num(y) + "\" x2=\"" + num(x) + "\" y2=\"" + num(y + kPlotHeight) +
         "\"/>\n</g>\n";
    s += "<g class=\"ticks\" font-family=\"sans-serif\" font-size=\"11\" fill=\"#333333\">\n";
    for (int in = 0; in <= kInputMax; in = in == 224 ? kInputMax : in + 32) {
        double px = x + kPlotWidth * in / double(kInputMax);
        s += "<text x=\"" + num(px) + "\" y=\"" + num(y + kPlotHeight + 16) + "\" text-anchor=\"middle\">" +
             std::to_string(in) + "</text>\n";
        if (in == kInputMax) {
            break;
        }
    }
    for (int out = 0; out <= kOutputMax; out = out == 3584 ? kOutputMax : out + 512) {
        double py = y + kPlotHeight - kPlotHeight * out / double(kOutputMax);
        s += "<text x=\"" + num(x - 6) + "\" y=\"" + num(py + 4) + "\" text-anchor=\"end\">" + std::to_string(out) +
             "</text>\n";
        if (out == kOutputMax) {
            break;
        }
    }
    s += "<text x=\"" + num(x + kPlotWidth / 2.0) + "\" y=\"" + num(y + kPlotHeight + 34) +
         "\" text-anchor=\"middle\">input level</text>\n";
    s += "<text x=\"" + num(x - 48) + "\" y=\"" + num(y + kPlotHeight / 2.0) +
         "\" text-anchor=\"middle\" transform=\"rotate(-90 " + num(x - 48) + " " + num(y + kPlotHeight / 2.0) +
         ")\">output</text>\n</g>\n";
}

std::string pathElement(const LabelledCurve &c, const CurveValues &values, const char *colour, const char *role,
                        bool dashed)
{
    std::string s = "<path data-table=\"" + std::to_string(c.tableId) + "\" data-slot=\"" + std::to_string(c.slot) +
                    "\" data-id=\"" + idAttr(c.adjustId) + "\" data-role=\"" + role + "\" stroke=\"" + colour +
                    "\" vector-effect=\"non-scaling-stroke\"";
    s += dashed ? " stroke-width=\"1.5\" stroke-dasharray=\"5 4\" opacity=\"0.75\"" : " stroke-width=\"1.6\"";
    s += " d=\"" + pathData(values) + "\"/>\n";
    return s;
}

void drawPanel(std::string &s, int index, int x0, int y0, const std::vector<const LabelledCurve *> &curves,
               CurveRole role)
{
    const int x = x0 + kPlotLeft, y = y0 + kPlotTop;
    const bool builtin = role == ROLE_BUILTIN;
    bool anySource = false;
    for (const LabelledCurve *c : curves) {
        anySource = anySource || c->hasSource;
    }
    s += "<g class=\"panel\" data-table=\"" + std::to_string(curves[0]->tableId) + "\">\n";
    s += "<text x=\"" + num(x) + "\" y=\"" + num(y - 14) +
         "\" font-family=\"sans-serif\" font-size=\"14\" font-weight=\"bold\" fill=\"#111111\">KZHT table " +
         std::to_string(curves[0]->tableId) + "</text>\n";
    drawFrame(s, x, y);
    const std::string clip = "plot" + std::to_string(index);
    s += "<clipPath id=\"" + clip + "\"><rect x=\"0\" y=\"0\" width=\"" + std::to_string(kInputMax) + "\" height=\"" +
         std::to_string(kOutputMax) + "\"/></clipPath>\n";
    s += "<g class=\"curves\" clip-path=\"url(#" + clip +
         ")\" fill=\"none\" "
         "transform=\"translate(" +
         num(x) + " " + num(y + kPlotHeight) + ") scale(" + num(kPlotWidth / double(kInputMax)) + " " +
         num(-kPlotHeight / double(kOutputMax)) + ")\">\n";
    // Sources first, so that every copy is drawn over them.
    for (size_t i = 0; i < curves.size(); ++i) {
        if (curves[i]->hasSource) {
            s += pathElement(*curves[i], curves[i]->source, kPalette[i % kPaletteSize], "source", true);
        }
    }
    for (size_t i = 0; i < curves.size(); ++i) {
        s +=
            pathElement(*curves[i], curves[i]->values, kPalette[i % kPaletteSize], builtin ? "builtin" : "copy", false);
    }
    s += "</g>\n";

    s += "<g class=\"legend\" font-family=\"sans-serif\" font-size=\"12\" fill=\"#111111\">\n";
    int ly = y + 6;
    for (size_t i = 0; i < curves.size(); ++i, ly += 20) {
        const LabelledCurve &c = *curves[i];
        std::string label = "table " + std::to_string(c.tableId) + (builtin ? ", curve " : ", slot ") +
                            std::to_string(c.slot) + ", " + adjustLabel(c.adjustId, c.otherAdjustId);
        s += "<line x1=\"" + num(kLegendLeft + x0) + "\" y1=\"" + num(ly) + "\" x2=\"" + num(kLegendLeft + x0 + 24) +
             "\" y2=\"" + num(ly) + "\" stroke=\"" + kPalette[i % kPaletteSize] + "\" stroke-width=\"2.5\"/>\n";
        s += "<text x=\"" + num(kLegendLeft + x0 + 30) + "\" y=\"" + num(ly + 4) + "\">" + escape(label) + "</text>\n";
    }
    if (anySource) {
        s += "<line x1=\"" + num(kLegendLeft + x0) + "\" y1=\"" + num(ly) + "\" x2=\"" + num(kLegendLeft + x0 + 24) +
             "\" y2=\"" + num(ly) + "\" stroke=\"#555555\" stroke-width=\"1.5\" stroke-dasharray=\"5 4\"/>\n";
        s += "<text x=\"" + num(kLegendLeft + x0 + 30) + "\" y=\"" + num(ly + 4) +
             "\">dashed: the source's curve</text>\n";
    }
    s += "</g>\n</g>\n";
}

// The curves grouped by table id, in the order of first appearance.
std::vector<std::vector<const LabelledCurve *>> panels(const std::vector<LabelledCurve> &curves)
{
    std::vector<std::vector<const LabelledCurve *>> out;
    for (const LabelledCurve &c : curves) {
        bool placed = false;
        for (auto &p : out) {
            if (p[0]->tableId == c.tableId) {
                p.push_back(&c);
                placed = true;
                break;
            }
        }
        if (!placed) {
            out.push_back({&c});
        }
    }
    return out;
}

} // namespace

std::string plotSvg(const std::string &title, const std::vector<LabelledCurve> &curves, CurveRole role)
{
    std::vector<std::vector<const LabelledCurve *>> groups = panels(curves);
    const int columns = groups.size() > 1 ? 2 : 1;
    const int rows = static_cast<int>((groups.size() + columns - 1) / columns);
    const int width = columns * kPanelWidth, height = kTitleHeight + std::max(rows, 1) * kPanelHeight;
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    s += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) + "\" height=\"" +
         std::to_string(height) + "\" viewBox=\"0 0 " + std::to_string(width) + " " + std::to_string(height) + "\">\n";
    s += "<rect x=\"0\" y=\"0\" width=\"" + std::to_string(width) + "\" height=\"" + std::to_string(height) +
         "\" fill=\"#ffffff\"/>\n";
    s += "<text x=\"20\" y=\"28\" font-family=\"sans-serif\" font-size=\"16\" fill=\"#111111\">" + escape(title) +
         "</text>\n";
    if (groups.empty()) {
        s += "<text x=\"20\" y=\"80\" font-family=\"sans-serif\" font-size=\"13\">no curves</text>\n";
    }
    for (size_t i = 0; i < groups.size(); ++i) {
        int col = static_cast<int>(i) % columns, row = static_cast<int>(i) / columns;
        drawPanel(s, static_cast<int>(i), col * kPanelWidth, kTitleHeight + row * kPanelHeight, groups[i], role);
    }
    return s + "</svg>\n";
}

std::string plotCsv(const std::vector<LabelledCurve> &curves, CurveRole role)
{
    std::string s = "table,slot,adjust_id,role";
    for (int k = 0; k < INSPECT_CURVE_ENTRIES; ++k) {
        s += ",e" + std::to_string(k);
    }
    s += "\n";
    auto line = [&s](const LabelledCurve &c, const CurveValues &v, const char *r) {
        s += std::to_string(c.tableId) + "," + std::to_string(c.slot) + "," + idAttr(c.adjustId) + "," + r;
        for (int16_t e : v) {
            s += "," + std::to_string(e);
        }
        s += "\n";
    };
    for (const LabelledCurve &c : curves) {
        line(c, c.values, role == ROLE_BUILTIN ? "builtin" : "copy");
        if (c.hasSource) {
            line(c, c.source, "source");
        }
    }
    return s;
}

} // namespace cli
