// The compiler's entry points: parse all sources, check, lay out, validate.
#include <climits>
#include <cstdio>

#include "dbc_ast.h"
#include "tool_io.h"

void DbcError(DbcProgram *prog, DbcLoc loc, const std::string &message)
{
    std::string where = loc.file < static_cast<int>(prog->fileNames.size())
                            ? prog->fileNames[static_cast<size_t>(loc.file)]
                            : std::string("<image>");
    std::string line = loc.line > 0 ? ":" + std::to_string(loc.line) : std::string();
    ToolErrorAdd(&prog->found, loc.file, loc.line, where + line + ": " + message);
    ++prog->errors;
}

std::string DbcHexKey(uint32_t key)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04X", key & 0xFFFFu);
    return buf;
}

int DbcDatabaseOfKey(uint32_t key)
{
    uint32_t k = key & 0xFFFFu;
    if (k >= 0x0001 && k <= 0x0FFF) {
        return 0;
    }
    if (k >= 0x1001 && k <= 0x1FFF) {
        return 1;
    }
    if (k >= 0x2001 && k <= 0x2FFF) {
        return 2;
    }
    if (k >= 0x3001 && k <= 0x3FFF) {
        return 3;
    }
    if (k >= 0x4001 && k <= 0x4FFF) {
        return 4;
    }
    if (k >= 0x5001 && k <= 0x5FFF) {
        return 6;
    }
    if (k >= 0x6001 && k <= 0x6FFF) {
        return 5;
    }
    return -1;
}

const char *DbcDatabaseName(int database)
{
    static const char *const names[] = {"root", "drv", "lm", "mnt", "pa", "sm", "internal"};
    return database >= 0 && database < 7 ? names[database] : "none";
}

bool DbcCompile(const std::vector<DbcSource> &sources, DbcImage *out, std::string *diagnostics)
{
    DbcProgram prog;
    for (const DbcSource &s : sources) {
        DbcParseSource(&prog, s);
    }
    if (prog.keys.empty() && prog.errors == 0) {
        DbcError(&prog, DbcLoc{0, 0}, "no keys defined");
    }
    if (prog.errors == 0) {
        DbcCheckProgram(&prog);
    }
    if (prog.errors == 0) {
        DbcLayoutProgram(&prog, out);
        DbcIndexKeys(out);
    }
    if (prog.errors == 0) {
        ZMD_ImageView view;
        DbcMakeView(*out, &view);
        std::string faults;
        if (!DbcValidateView(view, &faults)) {
            ToolErrorAdd(&prog.found, INT_MAX, 0, "internal error: the laid-out image is malformed:");
            for (size_t at = 0, end; at < faults.size(); at = end + 1) {
                end = faults.find('\n', at);
                end = end == std::string::npos ? faults.size() : end;
                ToolErrorAdd(&prog.found, INT_MAX, 0, faults.substr(at, end - at));
            }
            ++prog.errors;
        }
    }
    if (diagnostics) {
        *diagnostics += ToolErrorsText(prog.found, "dbc");
    }
    if (prog.errors != 0) {
        *out = DbcImage();
    }
    return prog.errors == 0;
}

bool DbcCompileText(const std::string &name, const std::string &text, DbcImage *out, std::string *diagnostics)
{
    return DbcCompile({DbcSource{name, text}}, out, diagnostics);
}

bool DbcReadSources(const std::vector<std::string> &paths, std::vector<DbcSource> *sources, std::string *diagnostics)
{
    bool ok = true;
    for (const std::string &path : paths) {
        DbcSource s{ToolIsStdio(path) ? "<stdin>" : path, {}};
        std::string error;
        if (!ToolReadInput(path, &s.text, &error)) {
            if (diagnostics) {
                *diagnostics += "dbc: " + ToolEscape(error) + "\n";
            }
            ok = false;
            continue;
        }
        sources->push_back(s);
    }
    return ok;
}

bool DbcCompileFiles(const std::vector<std::string> &paths, DbcImage *out, std::string *diagnostics)
{
    std::vector<DbcSource> sources;
    if (!DbcReadSources(paths, &sources, diagnostics)) {
        *out = DbcImage();
        return false;
    }
    return DbcCompile(sources, out, diagnostics);
}

namespace {
template <typename T> const T *Base(const std::vector<T> &v)
{
    static const T empty{};
    return v.empty() ? &empty : v.data();
}
} // namespace

void DbcMakeView(const DbcImage &image, ZMD_ImageView *view)
{
    ZMD_ImageView &v = *view;
    v.nodes = Base(image.nodes);
    v.keys = Base(image.keys);
    v.keyNodes = Base(image.keyNodes);
    v.int32Pool = Base(image.int32Pool);
    v.int16Pool = Base(image.int16Pool);
    v.bytePool = Base(image.bytePool);
    v.caseStringPool = Base(image.caseStringPool);
    v.seqKeys = Base(image.seqKeys);
    v.seqPartCounts = Base(image.seqPartCounts);
    v.seqStarts = Base(image.seqStarts);
    v.seqParts = Base(image.seqParts);
    v.listNumbers = Base(image.listNumbers);
    v.listLengths = Base(image.listLengths);
    v.listStarts = Base(image.listStarts);
    v.listIds = Base(image.listIds);
    v.listNameIds = Base(image.listNameIds);
    v.selectionRows = Base(image.selectionRows);
    v.blocksA = Base(image.blocksA);
    v.blocksB = Base(image.blocksB);
    v.blocksC = Base(image.blocksC);
    v.blocksD = Base(image.blocksD);
    v.queryRules = Base(image.queryRules);
    ZMD_ImageCounts &c = v.counts;
    c.nodes = static_cast<uint32_t>(image.nodes.size());
    c.keys = static_cast<uint32_t>(image.keys.size());
    c.seqKeys = static_cast<uint32_t>(image.seqKeys.size());
    c.seqParts = static_cast<uint32_t>(image.seqParts.size());
    c.lists = static_cast<uint32_t>(image.listNumbers.size());
    c.listEntries = static_cast<uint32_t>(image.listIds.size());
    c.int32Pool = static_cast<uint32_t>(image.int32Pool.size());
    c.int16Pool = static_cast<uint32_t>(image.int16Pool.size());
    c.bytePool = static_cast<uint32_t>(image.bytePool.size());
    c.caseStringPool = static_cast<uint32_t>(image.caseStringPool.size());
    c.selectionRows = static_cast<uint32_t>(image.selectionRows.size());
    c.blocksA = static_cast<uint32_t>(image.blocksA.size() / ZMD_BLOCK_A_SIZE);
    c.blocksB = static_cast<uint32_t>(image.blocksB.size() / ZMD_BLOCK_B_SIZE);
    c.blocksC = static_cast<uint32_t>(image.blocksC.size() / ZMD_BLOCK_C_SIZE);
    c.blocksD = static_cast<uint32_t>(image.blocksD.size() / ZMD_BLOCK_D_SIZE);
    c.queryRules = static_cast<uint32_t>(image.queryRules.size());
    // The key index, when the image has one.
    const bool indexed = !image.keyRanges.empty();
    v.keyRanges = indexed ? image.keyRanges.data() : nullptr;
    v.keySlots = indexed ? Base(image.keySlots) : nullptr;
    v.ruleSlots = indexed ? Base(image.ruleSlots) : nullptr;
    c.keyRanges = static_cast<uint32_t>(image.keyRanges.size());
    c.keySlots = static_cast<uint32_t>(image.keySlots.size());
}
