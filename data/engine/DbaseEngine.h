// The engine over dBASE files: DBF tables (III, IV, 5, 7 and the FoxPro family), DBT
// and FPT memos, the production MDX index. Read-only; it never writes a file.
#pragma once

#include "Engine.h"

#include <memory>

namespace dbase {

std::unique_ptr<Engine> createDbaseEngine();

} // namespace dbase
