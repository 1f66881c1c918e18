// calibmod-cli: correction curves as an SVG line chart.
//
// One panel per KZHT table, two to a row. Inside a panel the plot area is a
// group whose transform maps curve coordinates to the page, so that a path's
// points are the curve itself: "M0,v0 L1,v1 ... L255,v255" (input 0..255
// across, output 0..4095 up). Every path carries data-table, data-slot,
// data-id (the adjustment id, or "none") and data-role ("copy", "source" or
// "builtin"); source curves are dashed and drawn under their copy.
#ifndef CALIBMOD_CLI_SVG_PLOT_H
#define CALIBMOD_CLI_SVG_PLOT_H

#include <string>
#include <vector>

#include "curve_set.h"

namespace cli {

enum CurveRole {
    ROLE_COPY,
    ROLE_BUILTIN
};

// The whole SVG document. title heads the picture; curves are grouped into
// panels by table id in the order they come.
std::string plotSvg(const std::string &title, const std::vector<LabelledCurve> &curves, CurveRole role);

// One line per curve (and per source curve): table,slot,adjust_id,role,
// then the 256 entries. A header line names the columns.
std::string plotCsv(const std::vector<LabelledCurve> &curves, CurveRole role);

} // namespace cli

#endif // CALIBMOD_CLI_SVG_PLOT_H
