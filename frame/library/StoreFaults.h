#pragma once

// One place where tests make the store fail or die at a chosen step of an
// import: ORVANE_STORE_FAULT=<step>:fail makes the step fail as a full disk
// or a lost database would, <step>:kill ends the process there with SIGKILL,
// <step>:stop stops it with SIGSTOP until the test changes something and
// sends SIGCONT (then the step goes on).
// Steps, in the order an import passes them: "copied" (the audio is written
// and the source read, neither checked yet, nothing recorded), "linked" (the new file has its name, the record is not
// committed), "committed" (the record names the new audio, the old file is
// still there), "retired" (the old file is gone, its bookkeeping row not).
// Unset in normal use, where every step goes on.
class StoreFaults
{
public:
    // True when the step is to fail; does not return when it is to be killed.
    static bool at(const char* step);
};
