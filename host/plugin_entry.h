// The plug-in's entry point. The shared library exports it under the name `main`, which hosts
// look up; inside C++ a function of that name would be ill-formed, so it lives under this one.
#pragma once

#include "host/vst_abi.h"

extern "C" AEffect* vorblexterPluginMain(audioMasterCallback audioMaster) noexcept;
