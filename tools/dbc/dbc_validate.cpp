// Checks an image view against the invariants the engine relies on, with the
// image format's own validator (image_validate.h): on every freshly compiled
// image and by tests on synthetic images. dbc adds only the text.
#include "dbc.h"
#include "depbase.h"
#include "image_validate.h"
#include "platform.h"

namespace {

void AddLine(void *ctx, const char *message)
{
    std::string *out = static_cast<std::string *>(ctx);
    if (out) {
        *out += message;
        *out += "\n";
    }
}

} // namespace

bool DbcValidateView(const ZMD_ImageView &view, std::string *diagnostics)
{
    return ZMD_ValidateImage(&view, ZMD_DefaultPlatform(), AddLine, diagnostics) == ZMD_OK;
}
