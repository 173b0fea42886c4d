// The run's failure mark: set by whatever reports an error, read once at the way out.
#include "failure.h"

namespace {
int failures = 0;
bool decides = false;
}  // namespace

void notefailure() {
    ++failures;
}

bool anyfailure() {
    return failures > 0;
}

int failurecount() {
    return failures;
}

void failuresdecidestatus() {
    decides = true;
}

int exitstatus(int status) {
    return status == kExitOk && decides && anyfailure() ? kExitFailed : status;
}
