# The CLAP interface headers, as Debian's dpf-source ships them (distrho/src/clap/). They are the
# CLAP project's own and stay on the system: set VORBLEXTER_CLAP_INCLUDE_DIR to the folder that
# holds clap/plugin.h to use another copy. The headers are the same for every target, so a cross
# build looks for them outside its target root too.
find_path(VORBLEXTER_CLAP_INCLUDE_DIR
    NAMES clap/plugin.h clap/ext/params.h
    PATHS /usr/share/dpf/distrho/src
    DOC "The folder that holds clap/plugin.h (Debian: dpf-source)"
    NO_CMAKE_FIND_ROOT_PATH)
if(NOT VORBLEXTER_CLAP_INCLUDE_DIR)
    message(FATAL_ERROR "No CLAP headers found: install dpf-source (scripts/install-deps.sh) or "
                        "set VORBLEXTER_CLAP_INCLUDE_DIR")
endif()
if(NOT TARGET vorblexter_clap_headers)
    add_library(vorblexter_clap_headers INTERFACE)
    # A system folder: searched after the project's own, and its headers' warnings are theirs.
    target_include_directories(vorblexter_clap_headers SYSTEM INTERFACE
                               ${VORBLEXTER_CLAP_INCLUDE_DIR})
endif()
