# System libraries a program needs only for some of what a person does (a file dialog, a screen reader,
# the shell, OLE automation for the Task Scheduler): the loader maps them when one of their functions is
# first called instead of at start, so the first page costs less memory and time.
#
#   velmora_delay_load(target dll...)     e.g. velmora_delay_load(Velmora shell32 comdlg32)
#
# MSVC delay-loads by name (/DELAYLOAD, with delayimp.lib). With MinGW a delay-import library is made per
# DLL from the exports its import library names (dlltool --output-delaylib) and linked after everything
# else of the target (list every library of the target before calling this), so that references resolve
# there before the plain import library.
function(velmora_delay_load target)
    if(MSVC)
        foreach(dll IN LISTS ARGN)
            target_link_options(${target} PRIVATE /DELAYLOAD:${dll}.dll)
        endforeach()
        target_link_libraries(${target} PRIVATE delayimp)
        return()
    endif()
    if(NOT MINGW)
        return()
    endif()
    find_program(VELMORA_NM NAMES x86_64-w64-mingw32-nm REQUIRED)
    find_program(VELMORA_DLLTOOL NAMES x86_64-w64-mingw32-dlltool REQUIRED)
    foreach(dll IN LISTS ARGN)
        find_library(VELMORA_IMPORT_${dll} NAMES ${dll} lib${dll}.a REQUIRED)
        set(def ${CMAKE_CURRENT_BINARY_DIR}/delay/${dll}.def)
        set(lib ${CMAKE_CURRENT_BINARY_DIR}/delay/lib${dll}_delay.a)
        if(NOT EXISTS ${lib})
            execute_process(COMMAND ${VELMORA_NM} -g --defined-only ${VELMORA_IMPORT_${dll}}
                            OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
            string(REGEX MATCHALL "__imp_[A-Za-z0-9_@]+" imports "${symbols}")
            list(TRANSFORM imports REPLACE "^__imp_" "")
            list(REMOVE_DUPLICATES imports)
            list(JOIN imports "\n" exports)
            file(WRITE ${def} "LIBRARY ${dll}.dll\nEXPORTS\n${exports}\n")
            execute_process(COMMAND ${VELMORA_DLLTOOL} --input-def ${def} --output-delaylib ${lib}
                            COMMAND_ERROR_IS_FATAL ANY)
        endif()
        target_link_libraries(${target} PRIVATE ${lib})
    endforeach()
    # The helper that loads a DLL at its first call.
    target_link_libraries(${target} PRIVATE delayimp)
endfunction()
