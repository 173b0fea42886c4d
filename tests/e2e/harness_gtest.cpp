// Makes harness failures (a missing file, a simulator that would not start) gtest failures of
// the test that ran into them.
#include <gtest/gtest.h>

#include "harness.h"

static const bool installed = (
    harness_fail = [](const std::string& what) { ADD_FAILURE() << what; }, true);
