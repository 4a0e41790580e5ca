// The library's single export, `main`, as hosts look it up.
#include "host/plugin_entry.h"

#if defined(_WIN32)
// The module-definition file exports this function under the name `main`.
extern "C" AEffect* vorblexterExportedMain(audioMasterCallback audioMaster)
{
    return vorblexterPluginMain(audioMaster);
}
#else
// ELF: an assembler label gives the symbol its exported name.
extern "C" __attribute__((visibility("default"))) AEffect*
vorblexterExportedMain(audioMasterCallback audioMaster) __asm__("main");

AEffect* vorblexterExportedMain(audioMasterCallback audioMaster)
{
    return vorblexterPluginMain(audioMaster);
}
#endif
