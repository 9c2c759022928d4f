# The program's version, from one source for the build and the release: the newest release tag
# vMAJOR.MINOR.PATCH that git describe finds, as "MAJOR.MINOR.PATCH" on the tagged commit and
# "MAJOR.MINOR.PATCH.N" N commits after it; without a tag (or without git), the given fallback.
# Every form is plain numbers, as the version resource and the update check need.
#
# In script mode it prints the version of a checkout, or nothing when no tag is found:
#   cmake -DVELMORA_SOURCE_DIR=<checkout> -P cmake/Version.cmake

function(velmora_version_from_git source_dir fallback out_var)
    set(version "${fallback}")
    find_program(VELMORA_GIT git)
    if(VELMORA_GIT)
        execute_process(COMMAND ${VELMORA_GIT} describe --tags --long --match "v[0-9]*.[0-9]*.[0-9]*"
                        WORKING_DIRECTORY ${source_dir} OUTPUT_VARIABLE described RESULT_VARIABLE status
                        ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(status EQUAL 0 AND described MATCHES "^v([0-9]+)\\.([0-9]+)\\.([0-9]+)-([0-9]+)-g[0-9a-f]+$")
            set(version "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3}")
            if(NOT CMAKE_MATCH_4 EQUAL 0)
                set(version "${version}.${CMAKE_MATCH_4}")
            endif()
        endif()
    endif()
    set(${out_var} "${version}" PARENT_SCOPE)
endfunction()

# The four numbers of a version, for FILEVERSION and the manifest ("1.2.0" -> "1;2;0;0").
function(velmora_version_parts version out_var)
    string(REPLACE "." ";" parts "${version}")
    list(LENGTH parts count)
    while(count LESS 4)
        list(APPEND parts 0)
        math(EXPR count "${count} + 1")
    endwhile()
    set(${out_var} "${parts}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    velmora_version_from_git("${VELMORA_SOURCE_DIR}" "" version)
    if(version)
        execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${version}")
    endif()
endif()
