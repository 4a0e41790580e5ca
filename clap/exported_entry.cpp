// The module's single export, `clap_entry`, as hosts look it up: its only factory is the
// plug-in factory. Nothing is set up at init, so init and deinit may come in any number.
#include "clap/factory.h"

#include <clap/entry.h>

#include <cstring>

namespace {

bool entryInit(const char*)
{
    return true;
}

void entryDeinit() {}

const void* entryFactory(const char* id)
{
    return id != nullptr && std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) == 0
               ? vorblexter::clap::pluginFactory()
               : nullptr;
}

} // namespace

CLAP_EXPORT extern const clap_plugin_entry_t clap_entry{CLAP_VERSION_INIT, entryInit, entryDeinit,
                                                        entryFactory};
