// The benchmark drives orvel through the end-to-end harness; this builds that part of it here.
#include "harness.cpp"
