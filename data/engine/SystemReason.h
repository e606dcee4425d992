// The system's reason for a failed call (an errno value) as a German sentence, the
// same whatever the process locale: strerror() would answer in the language of
// LC_MESSAGES. Shared by the engine and the tools.
#pragma once

#include <string>

namespace dbase {

class SystemReason
{
public:
    // A sentence ending in '.', e.g. "Kein Speicherplatz mehr auf dem Gerät."; an
    // errno without a German text of its own is named with its number and the C
    // library's English description.
    static std::string text(int error);
};

} // namespace dbase
