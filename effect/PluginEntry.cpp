// Creating one effect instance for a host that knows its interface version, with no failure
// escaping to the host.
#include "effect/PluginEntry.h"

#include "effect/ReverbEffect.h"

#include <new>

AEffect* createEffectInstance(audioMasterCallback host) {
    if (!host) {
        return nullptr;
    }
    // A host that does not know its interface version is too old for this one.
    if (host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) {
        return nullptr;
    }
    ReverbEffect* effect = nullptr;
    try {
        effect = new (std::nothrow) ReverbEffect(host);
    } catch (...) {
        return nullptr;
    }
    if (!effect) {
        return nullptr;
    }
    if (effect->allocationFailed()) {
        delete effect;
        return nullptr;
    }
    return effect->getRecord();
}
