#pragma once

// A test VFS over the default one that makes a chosen write, sync, truncate or delete fail, as
// a failing disk would. Installed as the default VFS, so every connection of the process (the
// record store's and the repair's) goes through it; it does nothing until armed.
namespace FaultyVfs {

bool install();

enum class Fault
{
    Once,      // the k-th operation fails, later ones succeed (a passing fault)
    FromThenOn // the k-th and every later one fails (the disk is gone until disarmed)
};

// Counts operations from now on and fails the k-th (1-based).
void arm(int k, Fault fault);
void disarm();
// Whether an armed fault struck since arm().
bool struck();

} // namespace FaultyVfs
