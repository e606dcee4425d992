// Writes a dBASE IV production index (.MDX) for a table: one B-tree per tag, with
// character keys (in the order of the table's collation) or 12-byte BCD numeric keys.
#pragma once

#include "Collation.h"
#include "RecordSource.h"

#include <string>
#include <vector>

struct MdxTagSpec
{
    std::string name;               // e.g. "KLEINGEM"
    std::string expression;         // e.g. "VAL(POTENTIAL)+KLASSE"
    std::string forExpression = {}; // empty: every record
    bool unique = false;            // one entry per key: the first record in record order
    bool descending = false;        // keys stored from the greatest down
};

// The bytes of the index file, in bytes. tableBaseName goes into the file header;
// collation is that of the table's language driver. Returns false with a message in
// error when a tag's expression cannot be evaluated.
bool buildMdx(const std::string &tableBaseName, const dbase::RecordSource &source,
              const dbase::Collation &collation, const std::vector<MdxTagSpec> &tags,
              std::string &bytes, std::string &error);

// Writes the index file at path, replacing it only once it is complete (OutputFile).
// Returns false with a message in error when a tag's expression cannot be evaluated
// or the file cannot be written ("<path>: <the system's reason>").
bool writeMdx(const std::string &path, const std::string &tableBaseName,
              const dbase::RecordSource &source, const dbase::Collation &collation,
              const std::vector<MdxTagSpec> &tags, std::string &error);
