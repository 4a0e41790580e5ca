# A plug-in module as hosts load it: a library named exactly `name` + `suffix` (hosts list
# plug-ins by file name) in `folder`, whose only exports are those its linker script (Linux) or
# module definition (Windows) names, `vorblexter1.map` or `vorblexter1.def` beside the target's
# CMakeLists. On Windows it carries its C++ runtime, which a user's machine may lack.
function(vorblexter_plugin_module target name suffix folder)
    set_target_properties(${target} PROPERTIES PREFIX "" SUFFIX "${suffix}" OUTPUT_NAME ${name}
        LIBRARY_OUTPUT_DIRECTORY ${folder} RUNTIME_OUTPUT_DIRECTORY ${folder})
    vorblexter_apply_options(${target})
    if(WIN32)
        target_sources(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/vorblexter1.def)
        target_link_options(${target} PRIVATE -static)
    else()
        target_link_options(${target} PRIVATE
            "LINKER:--version-script=${CMAKE_CURRENT_SOURCE_DIR}/vorblexter1.map")
        # A sanitizer's runtime comes from the host program, so its symbols stay undefined.
        if(NOT VORBLEXTER_SANITIZE)
            target_link_options(${target} PRIVATE "LINKER:--no-undefined")
        endif()
        set_target_properties(${target} PROPERTIES LINK_DEPENDS
            ${CMAKE_CURRENT_SOURCE_DIR}/vorblexter1.map)
    endif()
endfunction()
