// Writes a dBASE IV production index (.MDX) for a table: one B-tree per tag, with
// character keys or 12-byte BCD numeric keys.
#pragma once

#include "RecordSource.h"

#include <string>
#include <vector>

struct MdxTagSpec
{
    std::string name;       // e.g. "KLEINGEM"
    std::string expression; // e.g. "VAL(POTENTIAL)+KLASSE"
};

// Writes path (replacing it). tableBaseName goes into the file header. Returns false
// with a message in error when a tag's expression cannot be evaluated or the file
// cannot be written.
bool writeMdx(const std::string &path, const std::string &tableBaseName,
              const dbase::RecordSource &source, const std::vector<MdxTagSpec> &tags,
              std::string &error);
