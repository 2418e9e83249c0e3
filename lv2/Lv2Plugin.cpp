// The LV2 instance over the core: the announced block length, the ports connected, control
// port changes set as parameters before each block, and the descriptor.
#include "lv2/Lv2Plugin.h"

#include "effect/ReverbCore.h"
#include "engine/SampleRate.h"
#include "lv2/Lv2Ports.h"

#include <climits>
#include <cstring>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>
#include <new>

namespace {

// The block capacity the host announces as its longest block (buf-size's
// maxBlockLength through the options feature); 0 when it announces none.
int32_t announcedBlockLength(const LV2_Feature* const* features) {
    const LV2_URID_Map* map = nullptr;
    const LV2_Options_Option* options = nullptr;
    for (const LV2_Feature* const* f = features; f && *f; ++f) {
        if (!(*f)->URI) {
            continue;
        }
        if (std::strcmp((*f)->URI, LV2_URID__map) == 0) {
            map = static_cast<const LV2_URID_Map*>((*f)->data);
        } else if (std::strcmp((*f)->URI, LV2_OPTIONS__options) == 0) {
            options = static_cast<const LV2_Options_Option*>((*f)->data);
        }
    }
    if (!map || !map->map || !options) {
        return 0;
    }
    const LV2_URID maxBlock = map->map(map->handle, LV2_BUF_SIZE__maxBlockLength);
    const LV2_URID atomInt = map->map(map->handle, LV2_ATOM__Int);
    for (const LV2_Options_Option* o = options; o->key != 0 || o->value != nullptr; ++o) {
        if (o->key == maxBlock && o->type == atomInt && o->size == sizeof(int32_t) && o->value) {
            int32_t length = 0;
            std::memcpy(&length, o->value, sizeof length);
            return length;
        }
    }
    return 0;
}

// One instance: the core and what the host connected.
class Lv2Reverb final {
public:
    // The engine is built at the library's initial rate and then set to the
    // host's, the order in which a VST 2.x host opens an instance of a newly
    // loaded plug-in and then sets its rate: both editions build the same
    // noise table and so sound the same. The library-wide rate of the VST 2.x
    // edition is neither read nor written.
    explicit Lv2Reverb(int32_t rate) : core(kDefaultSampleRate) {
        usable = core.setSampleRate(rate);
        for (int32_t i = 0; i < kNamedParameterCount; ++i) {
            applied[i] = kNamedParameters[i].defaultValue;
        }
    }

    bool usableAt(int32_t capacity) {
        // Without an announced length every block the engine can take is
        // processed whole, as by a VST 2.x host that announced its longest.
        return usable && core.setBlockSize(capacity > 0 && capacity <= ReverbCore::kMaxBlockSize
                                               ? capacity
                                               : ReverbCore::kMaxBlockSize);
    }

    void connect(uint32_t port, void* data) {
        switch (port) {
        case kPortInLeft:
        case kPortInRight:
            input[port - kPortInLeft] = static_cast<const float*>(data);
            break;
        case kPortOutLeft:
        case kPortOutRight:
            output[port - kPortOutLeft] = static_cast<float*>(data);
            break;
        default:
            if (parameterOfPort(port) >= 0) {
                control[parameterOfPort(port)] = static_cast<const float*>(data);
            }
            break;
        }
    }

    void activate() {
        // Re-activated after running: forget everything heard before.
        if (heard) {
            core.reset();
            heard = false;
        }
    }

    void run(uint32_t frames) {
        // A control port whose value changed since the last block is set as
        // a VST 2.x host sets a parameter before a block; the core refuses
        // what no parameter can hold and clamps the rest.
        for (int32_t i = 0; i < kNamedParameterCount; ++i) {
            if (control[i] && std::memcmp(control[i], &applied[i], sizeof(float)) != 0) {
                std::memcpy(&applied[i], control[i], sizeof(float));
                core.setParameter(i, applied[i]);
            }
        }
        heard = true;
        // Whole multiples of the engine's capacity, so that any length is
        // split exactly where the engine would split it.
        const int32_t capacity = core.getEngine().getBlockCapacity();
        const uint32_t piece = static_cast<uint32_t>((INT32_MAX / capacity) * capacity);
        uint32_t done = 0;
        do {
            const uint32_t n = frames - done < piece ? frames - done : piece;
            core.process(static_cast<int32_t>(n), offset(input[0], done), offset(input[1], done),
                         offset(output[0], done), offset(output[1], done));
            done += n;
        } while (done < frames);
    }

private:
    template <typename T> static T* offset(T* channel, uint32_t frames) {
        return channel ? channel + frames : nullptr;
    }

    ReverbCore core;
    bool usable = false;
    bool heard = false;
    const float* input[2] = {};
    float* output[2] = {};
    const float* control[kNamedParameterCount] = {};
    // The port values the core was last given, as the host wrote them.
    float applied[kNamedParameterCount] = {};
};

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*,
                       const LV2_Feature* const* features) {
    // A rate the engine cannot use is refused; fractions are cut off, as the
    // VST 2.x edition cuts off the rate a host hands it.
    if (!(rate >= kMinSampleRate && rate < static_cast<double>(kMaxSampleRate) + 1.0)) {
        return nullptr;
    }
    const int32_t wholeRate = static_cast<int32_t>(rate);
    try {
        auto* instance = new (std::nothrow) Lv2Reverb(wholeRate);
        if (instance && !instance->usableAt(announcedBlockLength(features))) {
            delete instance;
            instance = nullptr;
        }
        return instance;
    } catch (...) {
        return nullptr;
    }
}

void connectPort(LV2_Handle handle, uint32_t port, void* data) {
    static_cast<Lv2Reverb*>(handle)->connect(port, data);
}

void activate(LV2_Handle handle) {
    static_cast<Lv2Reverb*>(handle)->activate();
}

void run(LV2_Handle handle, uint32_t frames) {
    static_cast<Lv2Reverb*>(handle)->run(frames);
}

void deactivate(LV2_Handle) {}

void cleanup(LV2_Handle handle) {
    delete static_cast<Lv2Reverb*>(handle);
}

const void* extensionData(const char*) {
    return nullptr;
}

const LV2_Descriptor kDescriptor = {
    kLv2PluginUri, instantiate, connectPort, activate, run, deactivate, cleanup, extensionData,
};

} // namespace

const LV2_Descriptor* fumaraLv2Descriptor() {
    return &kDescriptor;
}
