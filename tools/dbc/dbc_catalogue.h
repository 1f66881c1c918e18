// The Markdown catalogue of every key of an image: kind, count, the settings
// that choose its value, and its answers for representative settings,
// evaluated with the engine.
#ifndef DBC_CATALOGUE_H
#define DBC_CATALOGUE_H

#include <string>

#include "image.h"

// Writes the catalogue of the image to *out. Returns false (with a message in
// *out) when the image cannot be evaluated.
bool DbcWriteCatalogue(const ZMD_ImageView &view, std::string *out);

#endif // DBC_CATALOGUE_H
