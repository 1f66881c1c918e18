// calibmod-cli: why KZCalibration refused a request (CAL_ERR_REQUEST), told
// from the request itself and the module's acceptance of modes and ids.
#ifndef CALIBMOD_CLI_REQUEST_EXPLAIN_H
#define CALIBMOD_CLI_REQUEST_EXPLAIN_H

#include <string>
#include <vector>

#include "calibmod.h"

namespace cli {

// One sentence per fault, in the order the module checks them: the mode,
// the adjustment ids of the slots the mode uses, the source name, the list
// prefix, the copy name. Never empty: a request with no fault found gets a
// sentence that says so.
std::vector<std::string> explainRequestError(const CalibRequest &request, const CalibNames &names,
                                             const int16_t adjustIds[6]);

} // namespace cli

#endif // CALIBMOD_CLI_REQUEST_EXPLAIN_H
