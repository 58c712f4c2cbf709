#pragma once

// Resource figures of this process from /proc (Linux), for the soak's growth checks.
class ProcessProbe {
public:
    // Resident set size in kB; -1 when unknown.
    static long residentKb();
    static int openFileDescriptors();
    static int threadCount();
};
