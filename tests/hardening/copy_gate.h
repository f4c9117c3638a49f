#pragma once

// Holds this process's file copies at a chosen call, so that a test can act
// while an original is being copied: the copy is begun and not yet whole.
// Copies go through untouched until `holdFrom` is called.

namespace krumple::test::copy_gate {

// From now on each copy moves at most 4 kB a call, and the `call`-th call
// (counted from now) and every later one wait until `open`.
void holdFrom(int call);
// Whether a call is being held now.
bool holding();
// Lets every held call go on; copies go through untouched again.
void open();

}  // namespace krumple::test::copy_gate
