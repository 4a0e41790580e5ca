// `vorblexter`: renders audio files through the vorblexter1 plug-in as a host does.
#include "tools/commands.h"

#include <cstdio>
#include <iostream>

#if defined(_WIN32)
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const vorblexter::tool::Console console{std::cout, std::cerr, isatty(fileno(stderr)) != 0};
    return vorblexter::tool::runTool(args, console);
}
