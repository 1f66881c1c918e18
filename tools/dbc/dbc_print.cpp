// Prints an image view back as trees in the source notation. Shared nodes
// are printed wherever they are reached; the node index of every line is
// given in a comment. Every index is checked before it is followed, so a
// malformed view prints what can be printed and marks the rest.
#include <cstdio>
#include <map>

#include "dbc.h"

namespace {

const int kMaxDepth = 64;
const size_t kMaxOutput = 16u << 20; // a malformed view may share nodes without end

struct Printer {
    const ZMD_ImageView &v;
    std::string out;
};

bool Full(Printer *pr)
{
    if (pr->out.size() < kMaxOutput) {
        return false;
    }
    if (pr->out.compare(pr->out.size() - 12, 12, "truncated>\n") != 0) {
        pr->out += "# <output truncated>\n";
    }
    return true;
}

std::string Hex(uint32_t v, int width)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", width, v);
    return buf;
}

std::string Quote(const uint8_t *p, size_t n)
{
    std::string s = "\"";
    for (size_t i = 0; i < n; ++i) {
        uint8_t c = p[i];
        if (c == '\n') {
            s += "\\n";
        } else if (c == '\r') {
            s += "\\r";
        } else if (c == '\t') {
            s += "\\t";
        } else if (c == '"') {
            s += "\\\"";
        } else if (c == '\\') {
            s += "\\\\";
        } else if (c < 0x20 || c > 0x7E) {
            s += "\\x" + Hex(c, 2);
        } else {
            s += static_cast<char>(c);
        }
    }
    return s + "\"";
}

bool Printable(uint8_t c)
{
    return (c >= 0x20 && c <= 0x7E) || c == '\n';
}

// Byte data as items: runs of at least four printable characters as strings,
// the rest as hex; broken into lines of about 60 characters.
std::vector<std::string> ByteItems(const uint8_t *p, size_t n)
{
    std::vector<std::string> lines{""};
    auto add = [&](const std::string &item) {
        if (!lines.back().empty() && lines.back().size() + item.size() > 60) {
            lines.push_back("");
        }
        if (!lines.back().empty()) {
            lines.back() += " ";
        }
        lines.back() += item;
    };
    size_t i = 0;
    while (i < n) {
        size_t j = i;
        while (j < n && Printable(p[j])) {
            ++j;
        }
        if (j - i >= 4) {
            add(Quote(p + i, j - i));
            i = j;
        } else {
            add(Hex(p[i], 2));
            ++i;
        }
    }
    return lines;
}

void Line(Printer *pr, int indent, const std::string &text, uint32_t node)
{
    pr->out += std::string(static_cast<size_t>(indent), ' ') + text;
    pr->out += "  # " + std::to_string(node) + "\n";
}

std::string TagPrefix(uint32_t tag, int curKey)
{
    return static_cast<int>(tag) == curKey ? "" : "@" + std::string("0x") + Hex(tag, 4) + " ";
}

// The value's first line and continuation lines.
void PrintValue(Printer *pr, int indent, const std::string &lead, uint32_t idx, int curKey)
{
    const ZMD_ImageView &v = pr->v;
    uint32_t w0 = v.nodes[idx].w0, w1 = v.nodes[idx].w1;
    uint32_t k = ZMD_NodeKindOf(w0), op = ZMD_NodeOperand(w0), cnt = ZMD_NodeLow(w1);
    std::string head = lead + TagPrefix(ZMD_NodeHigh(w1), curKey);
    std::vector<std::string> more;
    auto inBytes = [&]() { return v.bytePool && static_cast<uint64_t>(op) + cnt <= v.counts.bytePool; };
    auto numbers = [&](const char *name, auto get) {
        std::string line = name;
        for (uint32_t i = 0; i < cnt; ++i) {
            std::string num = std::to_string(get(op + i));
            if (line.size() + num.size() > 70) {
                more.push_back(line);
                line.clear();
            }
            line += (line.empty() ? "" : (line == name ? " " : ", ")) + num;
        }
        more.push_back(line);
    };
    if (k == ZMD_KIND_COMPUTED) {
        more.push_back("computed " + std::to_string(cnt));
    } else if ((k == ZMD_KIND_BYTES || k == ZMD_KIND_TEXT || k == ZMD_KIND_INT8_ARRAY || k == ZMD_KIND_UINT8_ARRAY) &&
               !inBytes()) {
        more.push_back("bytes  # <beyond the byte pool>");
    } else if (k == ZMD_KIND_TEXT && cnt > 0 && v.bytePool[op + cnt - 1] == 0) {
        more.push_back("text " + Quote(v.bytePool + op, cnt - 1));
    } else if (k == ZMD_KIND_BYTES || k == ZMD_KIND_TEXT) {
        std::vector<std::string> items = ByteItems(v.bytePool + op, cnt);
        more.push_back(std::string(k == ZMD_KIND_TEXT ? "bytes  # text without NUL" : "bytes"));
        if (items.size() == 1) {
            if (!items[0].empty()) {
                more[0] += " " + items[0];
            }
        } else {
            for (const std::string &s : items) {
                more.push_back("  " + s);
            }
        }
    } else if (k == ZMD_KIND_INT8_ARRAY) {
        numbers("int8", [&](uint32_t i) { return static_cast<int>(static_cast<int8_t>(v.bytePool[i])); });
    } else if (k == ZMD_KIND_UINT8_ARRAY) {
        numbers("uint8", [&](uint32_t i) { return static_cast<int>(v.bytePool[i]); });
    } else if (k == ZMD_KIND_INT16_ARRAY || k == ZMD_KIND_UINT16_ARRAY) {
        if (!v.int16Pool || static_cast<uint64_t>(op) + cnt > v.counts.int16Pool) {
            more.push_back("int16  # <beyond the int16 pool>");
        } else if (k == ZMD_KIND_INT16_ARRAY) {
            numbers("int16", [&](uint32_t i) { return static_cast<int>(static_cast<int16_t>(v.int16Pool[i])); });
        } else {
            numbers("uint16", [&](uint32_t i) { return static_cast<int>(v.int16Pool[i]); });
        }
    } else {
        if (!v.int32Pool || static_cast<uint64_t>(op) + cnt > v.counts.int32Pool) {
            more.push_back("int32  # <beyond the int32 pool>");
        } else {
            numbers("int32", [&](uint32_t i) { return static_cast<long long>(v.int32Pool[i]); });
        }
    }
    Line(pr, indent, head + more[0], idx);
    for (size_t i = 1; i < more.size(); ++i) {
        pr->out += std::string(static_cast<size_t>(indent + 2), ' ') + more[i] + "\n";
    }
}

void PrintNode(Printer *pr, int indent, const std::string &lead, uint32_t idx, int curKey, int depth);

void PrintCases(Printer *pr, int indent, uint32_t start, uint32_t count, bool hex, int curKey, int depth)
{
    const ZMD_ImageView &v = pr->v;
    for (uint32_t j = 0; j < count; ++j) {
        uint32_t c = start + j;
        if (c >= v.counts.nodes) {
            pr->out += std::string(static_cast<size_t>(indent), ' ') + "# <case beyond the node table>\n";
            return;
        }
        uint32_t w0 = v.nodes[c].w0, w1 = v.nodes[c].w1, k = ZMD_NodeKindOf(w0);
        std::string lead;
        if (k == ZMD_KIND_CASE_EQUAL) {
            lead = "case " + (hex ? "0x" + Hex(w1, 1) : std::to_string(static_cast<int32_t>(w1))) + ": ";
        } else if (k == ZMD_KIND_CASE_DEFAULT) {
            lead = "default: ";
        } else if (k == ZMD_KIND_CASE_RANGE) {
            if (v.int32Pool && static_cast<uint64_t>(w1) + 1 < v.counts.int32Pool) {
                lead = "case " + std::to_string(v.int32Pool[w1]) + ".." + std::to_string(v.int32Pool[w1 + 1]) + ": ";
            } else {
                lead = "case <range beyond the int32 pool>: ";
            }
        } else if (k == ZMD_KIND_CASE_STRING) {
            uint32_t sw0 = w1 < v.counts.nodes ? v.nodes[w1].w0 : 0;
            uint32_t so = ZMD_NodeOperand(sw0), sl = w1 < v.counts.nodes ? ZMD_NodeLow(v.nodes[w1].w1) : 0;
            if (ZMD_NodeKindOf(sw0) == ZMD_KIND_BYTES && v.caseStringPool &&
                static_cast<uint64_t>(so) + sl <= v.counts.caseStringPool) {
                lead = "case " + Quote(reinterpret_cast<const uint8_t *>(v.caseStringPool) + so, sl) + ": ";
            } else {
                lead = "case <bad case string>: ";
            }
        } else {
            pr->out += std::string(static_cast<size_t>(indent), ' ') + "# <node " + std::to_string(c) + " of kind " +
                       std::to_string(k) + " is not a case>\n";
            continue;
        }
        PrintNode(pr, indent, lead, ZMD_NodeOperand(w0), curKey, depth + 1);
    }
}

void PrintNode(Printer *pr, int indent, const std::string &lead, uint32_t idx, int curKey, int depth)
{
    const ZMD_ImageView &v = pr->v;
    std::string pad(static_cast<size_t>(indent), ' ');
    if (Full(pr)) {
        return;
    }
    if (idx >= v.counts.nodes) {
        pr->out += pad + lead + "# <node " + std::to_string(idx) + " beyond the node table>\n";
        return;
    }
    if (depth > kMaxDepth) {
        pr->out += pad + lead + "# <deeper than " + std::to_string(kMaxDepth) + " levels>\n";
        return;
    }
    uint32_t w0 = v.nodes[idx].w0, w1 = v.nodes[idx].w1;
    uint32_t k = ZMD_NodeKindOf(w0), op = ZMD_NodeOperand(w0), hi = ZMD_NodeHigh(w1), lo = ZMD_NodeLow(w1);
    if ((k >= ZMD_KIND_BYTES && k <= ZMD_KIND_TEXT) || k == ZMD_KIND_COMPUTED) {
        PrintValue(pr, indent, lead, idx, curKey);
        return;
    }
    switch (k) {
    case ZMD_KIND_LIST:
    case ZMD_KIND_SWITCH:
    case ZMD_KIND_WHEN: {
        std::string head = k == ZMD_KIND_LIST     ? "list"
                           : k == ZMD_KIND_SWITCH ? "switch int " + std::to_string(hi)
                                                  : "when " + std::to_string(hi);
        Line(pr, indent, lead + head, idx);
        for (uint32_t j = 0; j < lo; ++j) {
            PrintNode(pr, indent + 2, "", op + j, curKey, depth + 1);
        }
        return;
    }
    case ZMD_KIND_SELECT_INT:
        Line(pr, indent, lead + "select_int int " + std::to_string(hi), idx);
        PrintCases(pr, indent + 2, op, lo, false, curKey, depth);
        return;
    case ZMD_KIND_SELECT_STRING:
        Line(pr, indent, lead + "select_string str " + std::to_string(hi), idx);
        PrintCases(pr, indent + 2, op, lo, false, curKey, depth);
        return;
    case ZMD_KIND_SELECT_PRINTER_DATA:
        Line(pr, indent, lead + "select_printer_data item " + std::to_string(hi), idx);
        PrintCases(pr, indent + 2, op, lo, false, curKey, depth);
        return;
    case ZMD_KIND_SELECT_COUNTRY:
        Line(pr, indent, lead + "select_country 0x" + Hex(hi, 4), idx);
        PrintCases(pr, indent + 2, op, lo, false, curKey, depth);
        return;
    case ZMD_KIND_SELECT_MASKED:
        if (op >= v.counts.nodes || ZMD_NodeKindOf(v.nodes[op].w0) != ZMD_KIND_MASK) {
            pr->out += pad + lead + "# <select_masked without a MASK node>\n";
            return;
        }
        Line(pr, indent, lead + "select_masked int " + std::to_string(hi) + " mask 0x" + Hex(v.nodes[op].w1, 1), idx);
        PrintCases(pr, indent + 2, ZMD_NodeOperand(v.nodes[op].w0), lo, true, curKey, depth);
        return;
    default:
        pr->out +=
            pad + lead + "# <node " + std::to_string(idx) + " of kind " + std::to_string(k) + " cannot be evaluated>\n";
        return;
    }
}

void PrintTables(Printer *pr)
{
    const ZMD_ImageView &v = pr->v;
    const ZMD_ImageCounts &n = v.counts;
    for (uint32_t i = 0; i < n.lists && v.listNumbers && v.listLengths && v.listStarts; ++i) {
        pr->out += "\ncatalogue " + std::to_string(v.listNumbers[i]) + "\n";
        for (uint32_t j = 0; j < v.listLengths[i]; ++j) {
            uint32_t p = v.listStarts[i] + j;
            if (p >= n.listEntries || !v.listIds || !v.listNameIds) {
                pr->out += "  # <entry beyond the pool>\n";
                break;
            }
            pr->out += "  " + std::to_string(v.listIds[p]) + " 0x" + Hex(v.listNameIds[p], 4) + "\n";
        }
    }
    for (uint32_t i = 0; i < n.seqKeys && v.seqKeys && v.seqPartCounts && v.seqStarts; ++i) {
        pr->out += "\nsequence 0x" + Hex(v.seqKeys[i], 4) + "\n";
        for (uint32_t j = 0; j < v.seqPartCounts[i]; ++j) {
            uint32_t p = v.seqStarts[i] + j;
            if (p >= n.seqParts || !v.seqParts) {
                pr->out += "  # <part beyond the part table>\n";
                break;
            }
            PrintNode(pr, 2, "part: ", v.seqParts[p], 0x5008, 0);
        }
    }
    if (n.selectionRows && v.selectionRows) {
        pr->out += "\nselection  # int 4, int 9, int 5, int 8, int 6, int 81 -> A B C D\n";
        for (uint32_t r = 0; r < n.selectionRows; ++r) {
            const ZMD_SelectionRow &row = v.selectionRows[r];
            std::string line = "  row";
            for (int k = 0; k < 6; ++k) {
                line += " " + std::to_string(row.selector[k]);
            }
            line += " ->";
            for (int k = 0; k < 4; ++k) {
                line += " " + std::to_string(row.block[k]);
            }
            pr->out += line + "\n";
        }
    }
    const uint8_t *blocks[4] = {v.blocksA, v.blocksB, v.blocksC, v.blocksD};
    const uint32_t counts[4] = {n.blocksA, n.blocksB, n.blocksC, n.blocksD};
    const uint32_t sizes[4] = {ZMD_BLOCK_A_SIZE, ZMD_BLOCK_B_SIZE, ZMD_BLOCK_C_SIZE, ZMD_BLOCK_D_SIZE};
    for (int t = 0; t < 4; ++t) {
        for (uint32_t b = 0; b < counts[t] && blocks[t]; ++b) {
            pr->out += "\nblock " + std::string(1, static_cast<char>('A' + t)) + " " + std::to_string(b) + "\n";
            const uint8_t *p = blocks[t] + static_cast<size_t>(b) * sizes[t];
            for (uint32_t i = 0; i < sizes[t]; i += 16) {
                std::string line = " ";
                for (uint32_t j = i; j < i + 16 && j < sizes[t]; ++j) {
                    line += " " + Hex(p[j], 2);
                }
                pr->out += line + "\n";
            }
        }
    }
}

bool HasKey(const ZMD_ImageView &v, uint32_t key)
{
    for (uint32_t i = 0; i < v.counts.keys && v.keys; ++i) {
        if (v.keys[i] == key) {
            return true;
        }
    }
    return false;
}

// One query rule as a `query` line (the clauses in the order they complete).
std::string RuleLine(const ZMD_ImageView &v, const ZMD_QueryRule &r)
{
    static const char *const forms[] = {"list", "catalogue", "sequence", "parameters"};
    static const char *const fields[] = {"name", "value1", "value2"};
    std::string line = "query 0x" + Hex(r.key, 4) + " ";
    if (r.form < ZMD_QUERY_LIST || r.form > ZMD_QUERY_PARAMETER_SET) {
        return "# <query rule for 0x" + Hex(r.key, 4) + " of form " + std::to_string(r.form) + ">";
    }
    line += forms[r.form - 1];
    if (r.form == ZMD_QUERY_SEQUENCE || r.form == ZMD_QUERY_PARAMETER_SET) {
        return line;
    }
    if (r.listNumber != ZMD_QUERY_NO_LIST) {
        line += (r.form == ZMD_QUERY_LIST ? " names " : " ") + std::to_string(r.listNumber);
    }
    if (r.choiceKeys[0] != 0) {
        line += " choice int " + std::to_string(r.choiceSetting);
        for (int f = 0; f < 2 && r.choiceKeys[f] != 0; ++f) {
            uint16_t w = r.choiceFields[f];
            line +=
                std::string(" ") + (w >= 1 && w <= 3 ? fields[w - 1] : "<item word>") + " 0x" + Hex(r.choiceKeys[f], 4);
        }
    }
    if (r.offeredKey != 0) {
        line += " offered 0x" + Hex(r.offeredKey, 4);
    }
    if (r.defaultKey != 0) {
        line += " default 0x" + Hex(r.defaultKey, 4);
        if ((r.flags & ZMD_QUERY_DEFAULT_REQUIRED) != 0) {
            line += " required";
        }
    }
    if (r.form == ZMD_QUERY_LIST && !HasKey(v, r.key)) {
        line += " absent";
    }
    return line;
}

void PrintRules(Printer *pr)
{
    const ZMD_ImageView &v = pr->v;
    if (v.counts.queryRules == 0 || !v.queryRules) {
        return;
    }
    pr->out += "\n";
    for (uint32_t i = 0; i < v.counts.queryRules; ++i) {
        pr->out += RuleLine(v, v.queryRules[i]) + "\n";
    }
}

} // namespace

std::string DbcPrintView(const ZMD_ImageView &view)
{
    Printer pr{view, {}};
    const ZMD_ImageCounts &n = view.counts;
    pr.out = "# " + std::to_string(n.nodes) + " nodes, " + std::to_string(n.keys) + " keys; pools: int32 " +
             std::to_string(n.int32Pool) + ", int16 " + std::to_string(n.int16Pool) + ", bytes " +
             std::to_string(n.bytePool) + ", case strings " + std::to_string(n.caseStringPool) + "\n";
    if (!view.nodes || !view.keys || !view.keyNodes) {
        return pr.out + "# <no node or key table>\n";
    }
    // Keys sharing a top node are printed together, at the first of them.
    std::map<uint32_t, std::vector<uint16_t>> byNode;
    for (uint32_t i = 0; i < n.keys; ++i) {
        byNode[view.keyNodes[i]].push_back(view.keys[i]);
    }
    for (uint32_t i = 0; i < n.keys; ++i) {
        const std::vector<uint16_t> &group = byNode[view.keyNodes[i]];
        if (group[0] != view.keys[i]) {
            continue;
        }
        std::string head = "key";
        for (uint16_t k : group) {
            head += " 0x" + Hex(k, 4);
        }
        int curKey = group.size() == 1 ? group[0] : -1;
        pr.out += "\n";
        if (view.keyNodes[i] == 0 && n.nodes > 0 && ZMD_NodeKindOf(view.nodes[0].w0) == ZMD_KIND_LIST) {
            pr.out += head + ": all  # 0\n";
            continue;
        }
        PrintNode(&pr, 0, head + ": ", view.keyNodes[i], curKey, 0);
    }
    PrintTables(&pr);
    PrintRules(&pr);
    return pr.out;
}
