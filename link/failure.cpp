// The run's failure mark: set by whatever reports an error, read once at the way out.
#include "failure.h"

namespace {
bool failed = false;
}  // namespace

void notefailure() {
    failed = true;
}

bool anyfailure() {
    return failed;
}
