// calibmod-cli plot: the SVG is well-formed XML, holds one path per curve
// whose points are the curve's entries, and the CSV holds every entry.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>

#include "curve_set.h"
#include "sample_build.h"
#include "svg_plot.h"

namespace {

struct Element {
    std::string name;
    std::map<std::string, std::string> attributes;
};

// A small XML reader: tags must nest and close, attribute values are
// quoted, entity references are the five predefined ones. Returns every
// element (in document order) or fails with a reason.
bool parseXml(const std::string &text, std::vector<Element> *elements, std::string *error)
{
    std::vector<std::string> open;
    size_t i = 0;
    auto fail = [&](const std::string &why) {
        *error = why + " at byte " + std::to_string(i);
        return false;
    };
    auto entityOk = [&](size_t at) {
        for (const char *e : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"}) {
            if (text.compare(at, std::strlen(e), e) == 0) {
                return true;
            }
        }
        return false;
    };
    while (i < text.size()) {
        if (text[i] != '<') {
            if (text[i] == '&' && !entityOk(i)) {
                return fail("bad entity");
            }
            ++i;
            continue;
        }
        if (text.compare(i, 5, "<?xml") == 0) {
            size_t end = text.find("?>", i);
            if (end == std::string::npos) {
                return fail("unclosed declaration");
            }
            i = end + 2;
            continue;
        }
        if (text.compare(i, 2, "</") == 0) {
            size_t end = text.find('>', i);
            if (end == std::string::npos) {
                return fail("unclosed end tag");
            }
            std::string name = text.substr(i + 2, end - i - 2);
            if (open.empty() || open.back() != name) {
                return fail("end tag </" + name + "> does not match");
            }
            open.pop_back();
            i = end + 1;
            continue;
        }
        Element e;
        size_t at = i + 1;
        while (at < text.size() &&
               (isalnum(static_cast<unsigned char>(text[at])) || text[at] == '-' || text[at] == ':')) {
            e.name += text[at++];
        }
        if (e.name.empty()) {
            return fail("empty tag name");
        }
        for (;;) {
            while (at < text.size() && isspace(static_cast<unsigned char>(text[at]))) {
                ++at;
            }
            if (at >= text.size()) {
                return fail("unclosed tag");
            }
            if (text[at] == '>' || text.compare(at, 2, "/>") == 0) {
                break;
            }
            std::string key;
            while (at < text.size() && text[at] != '=' && !isspace(static_cast<unsigned char>(text[at]))) {
                key += text[at++];
            }
            if (at + 1 >= text.size() || text[at] != '=' || text[at + 1] != '"') {
                return fail("unquoted attribute " + key);
            }
            size_t close = text.find('"', at + 2);
            if (close == std::string::npos) {
                return fail("unclosed attribute value");
            }
            std::string value = text.substr(at + 2, close - at - 2);
            if (value.find('<') != std::string::npos) {
                return fail("'<' in an attribute value");
            }
            if (e.attributes.count(key)) {
                return fail("attribute " + key + " given twice");
            }
            e.attributes[key] = value;
            at = close + 1;
        }
        bool selfClosing = text[at] == '/';
        if (!selfClosing) {
            open.push_back(e.name);
        }
        elements->push_back(e);
        i = at + (selfClosing ? 2 : 1);
    }
    if (!open.empty()) {
        return fail("<" + open.back() + "> never closed");
    }
    return true;
}

// The points of "M0,v0 L1,v1 ...".
std::vector<std::pair<int, int>> points(const std::string &d)
{
    std::vector<std::pair<int, int>> out;
    std::istringstream in(d);
    std::string token;
    while (in >> token) {
        int x = 0, y = 0;
        if (std::sscanf(token.c_str() + 1, "%d,%d", &x, &y) == 2) {
            out.push_back({x, y});
        }
    }
    return out;
}

std::vector<Element> paths(const std::string &svg)
{
    std::vector<Element> all, out;
    std::string error;
    EXPECT_TRUE(parseXml(svg, &all, &error)) << error;
    EXPECT_FALSE(all.empty());
    if (!all.empty()) {
        EXPECT_EQ(all[0].name, "svg");
    }
    for (const Element &e : all) {
        if (e.name == "path") {
            out.push_back(e);
        }
    }
    return out;
}

void expectCurve(const Element &path, const cli::LabelledCurve &c, const cli::CurveValues &values)
{
    EXPECT_EQ(path.attributes.at("data-table"), std::to_string(c.tableId));
    EXPECT_EQ(path.attributes.at("data-slot"), std::to_string(c.slot));
    std::vector<std::pair<int, int>> p = points(path.attributes.at("d"));
    ASSERT_EQ(p.size(), 256u);
    for (int k = 0; k < 256; ++k) {
        EXPECT_EQ(p[k].first, k);
        EXPECT_EQ(p[k].second, values[k]) << "table " << c.tableId << " slot " << c.slot << " entry " << k;
    }
}

TEST(XmlReader, RejectsWhatIsNotWellFormed)
{
    std::vector<Element> e;
    std::string error;
    EXPECT_FALSE(parseXml("<svg><g></svg></g>", &e, &error));
    EXPECT_FALSE(parseXml("<svg a=1/>", &e, &error));
    EXPECT_FALSE(parseXml("<svg>a & b</svg>", &e, &error));
    EXPECT_FALSE(parseXml("<svg>", &e, &error));
    EXPECT_TRUE(parseXml("<?xml version=\"1.0\"?><svg a=\"x &amp; y\"><g/></svg>", &e, &error)) << error;
}

TEST(Plot, CopyAgainstSourceHasOnePathPerCurveAndOnePerSourceCurve)
{
    kzfile::Bytes source = sample::build(sample::Options());
    // A copy whose table 1201 slot 0 holds the built-in curve of id -3.
    std::vector<cli::LabelledCurve> builtin = cli::builtInCurves();
    kzfile::Bytes copy = source;
    cli::DataView sourceView = cli::dataViewOf(source);
    const InspectKzht *t1201 = nullptr;
    for (const InspectKzht &t : sourceView.kzht) {
        t1201 = t.id == 1201 && !t1201 ? &t : t1201;
    }
    ASSERT_NE(t1201, nullptr);
    ASSERT_GT(t1201->curveCount, 0);
    for (int k = 0; k < 256; ++k) {
        kzfile::putU16(copy, t1201->curves[0].offset + 2 * k, static_cast<uint16_t>(builtin[0].values[k]));
    }

    cli::DataView copyView = cli::dataViewOf(copy);
    std::vector<cli::LabelledCurve> curves = cli::fileCurves(copyView, &sourceView);
    ASSERT_FALSE(curves.empty());
    EXPECT_EQ(curves[0].tableId, 1201);
    EXPECT_EQ(curves[0].adjustId, -3);
    EXPECT_EQ(curves[1].adjustId, cli::kNoAdjustId);
    std::vector<Element> p = paths(cli::plotSvg("copy & source", curves, cli::ROLE_COPY));
    ASSERT_EQ(p.size(), 2 * curves.size());
    // Sources are drawn first in each panel, dashed; then the copies.
    size_t at = 0;
    for (size_t i = 0; i < curves.size();) {
        size_t j = i;
        while (j < curves.size() && curves[j].tableId == curves[i].tableId) {
            ++j;
        }
        for (size_t k = i; k < j; ++k, ++at) {
            EXPECT_EQ(p[at].attributes.at("data-role"), "source");
            EXPECT_TRUE(p[at].attributes.count("stroke-dasharray"));
            expectCurve(p[at], curves[k], curves[k].source);
        }
        for (size_t k = i; k < j; ++k, ++at) {
            EXPECT_EQ(p[at].attributes.at("data-role"), "copy");
            expectCurve(p[at], curves[k], curves[k].values);
        }
        i = j;
    }
    EXPECT_EQ(p[curves.size() > 4 ? 4 : 0].attributes.at("data-id"), "-3"); // 1201 has four planes
}

TEST(Plot, BuiltInCurvesEveryTableBothGroups)
{
    std::vector<cli::LabelledCurve> curves = cli::builtInCurves();
    ASSERT_EQ(curves.size(), 72u); // 9 tables, 2 groups, 4 curves
    std::vector<Element> p = paths(cli::plotSvg("built-in", curves, cli::ROLE_BUILTIN));
    ASSERT_EQ(p.size(), curves.size());
    std::map<std::string, int> perId;
    for (size_t i = 0; i < p.size(); ++i) {
        expectCurve(p[i], curves[i], curves[i].values);
        ++perId[p[i].attributes.at("data-id")];
    }
    EXPECT_EQ(perId["-3"], 36);
    EXPECT_EQ(perId["3"], 36);
    // Every curve is found at its own place; one both groups hold (the
    // identity) is named by both ids.
    for (const cli::LabelledCurve &c : curves) {
        int other = cli::kNoAdjustId, first = cli::matchBuiltIn(c.tableId, c.slot, c.values, &other);
        EXPECT_TRUE(first == c.adjustId || other == c.adjustId) << c.tableId << " " << c.slot;
    }
    int other = 0;
    EXPECT_EQ(cli::matchBuiltIn(1203, 3, curves[3 + 8].values, &other), -3); // 1203 curve 3: identity
    EXPECT_EQ(other, 3);
    EXPECT_EQ(cli::adjustLabel(-3, 3), "id -3 or 3");
}

TEST(Plot, CsvHoldsEveryEntryOfEveryCurve)
{
    kzfile::Bytes source = sample::build(sample::Options());
    cli::DataView view = cli::dataViewOf(source);
    std::vector<cli::LabelledCurve> curves = cli::fileCurves(view, &view);
    std::istringstream csv(cli::plotCsv(curves, cli::ROLE_COPY));
    std::string line;
    ASSERT_TRUE(std::getline(csv, line));
    EXPECT_EQ(line.substr(0, 30), "table,slot,adjust_id,role,e0,e");
    size_t rows = 0;
    while (std::getline(csv, line)) {
        const cli::LabelledCurve &c = curves[rows / 2];
        std::istringstream fields(line);
        std::string f;
        std::vector<std::string> v;
        while (std::getline(fields, f, ',')) {
            v.push_back(f);
        }
        ASSERT_EQ(v.size(), 260u);
        EXPECT_EQ(v[0], std::to_string(c.tableId));
        EXPECT_EQ(v[3], rows % 2 == 0 ? "copy" : "source");
        EXPECT_EQ(v[259], std::to_string(c.values[255]));
        ++rows;
    }
    EXPECT_EQ(rows, 2 * curves.size());
}

} // namespace
