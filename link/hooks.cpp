// The two hooks that the layers above lend to the layers below.
#include "hooks.h"

#include "ovlib.h"

namespace {
varlookup installedlookup = nullptr;
wordsdispatcher installeddispatcher = nullptr;
}  // namespace

void setvarlookup(varlookup lookup) {
    installedlookup = lookup;
}

const char* linkvar(const std::string& name) {
    return installedlookup != nullptr ? installedlookup(name) : nullptr;
}

void setwordsdispatcher(wordsdispatcher dispatch) {
    installeddispatcher = dispatch;
}

int dispatchwords(const std::vector<std::string>& words) {
    return installeddispatcher != nullptr ? installeddispatcher(words) : kFailed;
}
