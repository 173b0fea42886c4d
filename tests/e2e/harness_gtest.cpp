// Makes harness failures (a missing file, a simulator that would not start) gtest failures of
// the test that ran into them.
#include <gtest/gtest.h>

#include "harness.h"

namespace {

void fail_in_test(const std::string& what) {
    ADD_FAILURE() << what;
}

const bool installed = (harness_fail = fail_in_test, true);

}  // namespace
