// An LV2 host on lilv: loads the bundle from the build tree, maps URIDs, and plays sessions
// through instances of the plug-in with time:Position events made by the atom forge.
#pragma once

#include "tests/lv2/session.h"

#include <lilv/lilv.h>

#include <memory>
#include <string>
#include <vector>

namespace vorblexter::lv2test {

// The world with just the bundle loaded, and the plug-in it describes.
class BundleWorld {
public:
    BundleWorld();
    ~BundleWorld();
    BundleWorld(const BundleWorld&) = delete;
    BundleWorld& operator=(const BundleWorld&) = delete;

    LilvWorld* world() const { return lilvWorld; }
    // Null when the bundle does not describe the plug-in.
    const LilvPlugin* plugin() const { return lilvPlugin; }
    LilvNode* node(const char* uri); // owned by the world object

private:
    LilvWorld* lilvWorld = nullptr;
    const LilvPlugin* lilvPlugin = nullptr;
    std::vector<LilvNode*> nodes;
};

enum class Buffers {
    inPlace,  // every output port shares its input port's buffer, as Ardour runs plug-ins
    separate, // outputs are buffers of their own, filled with a marker value before each run
};

struct Lv2Options {
    Buffers buffers = Buffers::inPlace;
    bool connectControl = true; // the atom input
    bool connectLeftInput = true;
};

// Plays `session` through a new instance of the plug-in, on the calling thread.
Rendered renderLv2(BundleWorld& world, const Session& session, const Lv2Options& options);

} // namespace vorblexter::lv2test
