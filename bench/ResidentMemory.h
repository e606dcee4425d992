// The process's resident memory as the kernel reports it (VmRSS in /proc/self/status).
#pragma once

class ResidentMemory
{
public:
    // In KiB; -1 when /proc/self/status cannot be read or has no VmRSS line.
    static long kibibytes();
};
