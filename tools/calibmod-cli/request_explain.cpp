// calibmod-cli: the reasons behind CAL_ERR_REQUEST.
#include <cstring>

#include "cal_types.h"
#include "curve_update.h"
#include "list_view.h"
#include "request_explain.h"
#include "tool_text.h"
#include "calib_flow.h"

namespace cli {

namespace {

bool isSeparator(char c)
{
    return c == '/' || c == '\\' || c == ':';
}

std::string joinIds(const CalAcceptance *a)
{
    std::string text = std::to_string(a->neutralId) + " (leaves a slot's curves)";
    if (a->passThroughId != CAL_PASS_THROUGH_DISABLED) {
        text += ", " + std::to_string(a->passThroughId) + " (no calibration)";
    }
    for (int16_t i = 0; i < a->idCount; ++i) {
        text += ", " + std::to_string(a->ids[i]);
    }
    return text;
}

bool idAccepted(const CalAcceptance *a, int16_t id)
{
    bool ok = id == a->neutralId || (a->passThroughId != CAL_PASS_THROUGH_DISABLED && id == a->passThroughId);
    for (int16_t i = 0; i < a->idCount; ++i) {
        ok = ok || a->ids[i] == id;
    }
    return ok;
}

void explainSourceName(const CalibNames &names, std::vector<std::string> *out)
{
    size_t length = strnlen(names.sourceName, sizeof names.sourceName);
    std::string name(names.sourceName, length);
    std::string shown = "--source '" + ToolEscape(name) + "'";
    if (length == 0 || length == sizeof names.sourceName) {
        out->push_back(shown + ": the name must have 1 to 15 characters");
        return;
    }
    for (char c : name) {
        if (isSeparator(c)) {
            out->push_back(shown + ": a name holds none of / \\ :");
            return;
        }
    }
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        out->push_back(shown + ": the name needs a '.' with a character before it (the copy's name varies "
                               "the character before the last '.')");
    } else if (name == "..") {
        out->push_back(shown + ": that is the parent directory, not a file");
    }
}

} // namespace

std::vector<std::string> explainRequestError(const CalibRequest &request, const CalibNames &names,
                                             const int16_t adjustIds[6])
{
    std::vector<std::string> out;
    const CalAcceptance *a = calAcceptance();
    bool modeOk = false;
    std::string modes;
    for (int16_t i = 0; i < a->modeCount; ++i) {
        modeOk = modeOk || a->modes[i] == request.mode;
        modes += (i ? ", " : "") + std::to_string(a->modes[i]);
    }
    if (!modeOk) {
        out.push_back("--mode " + std::to_string(request.mode) + ": the module accepts only mode " + modes);
        return out; // the slots in use depend on an accepted mode
    }
    int16_t ids[6] = {0}, curveNumbers[6] = {0}, count = 0;
    adjustIdsUnpack(&request, adjustIds, ids, curveNumbers, &count);
    for (int16_t i = 0; i < count; ++i) {
        if (!idAccepted(a, ids[i])) {
            out.push_back("--ids: slot " + std::to_string(curveNumbers[i]) + " has the adjustment id " +
                          std::to_string(ids[i]) + ", which the module does not accept (mode " +
                          std::to_string(request.mode) + " uses slots " + std::to_string(curveNumbers[0]) + " to " +
                          std::to_string(curveNumbers[count - 1]) + "; accepted ids: " + joinIds(a) + ")");
        }
    }
    explainSourceName(names, &out);
    for (size_t i = 0; i < sizeof names.listPrefix; ++i) {
        if (names.listPrefix[i] == 0 || isSeparator(names.listPrefix[i])) {
            out.push_back("--prefix: the list prefix needs exactly 5 characters, none of / \\ :");
            break;
        }
    }
    if (out.empty()) {
        std::string copy(names.sourceName, strnlen(names.sourceName, sizeof names.sourceName));
        for (char &c : copy) {
            c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }
        if (!copyNameIsSafe(copy)) {
            out.push_back("--source '" + ToolEscape(copy) + "': no safe copy name can be made from it");
        }
    }
    if (out.empty()) {
        out.push_back("the module refused the request, and nothing in it explains why");
    }
    return out;
}

} // namespace cli
