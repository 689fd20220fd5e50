# Installs the build into PREFIX and checks what a Linux desktop gets: the
# program, its resources, a valid desktop entry that offers it for CorelDRAW
# files, the icon and the .cmx file type.
# Usage: cmake -DBUILD_DIR=... -DPREFIX=... -P InstallTest.cmake

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "install failed (${result}):\n${output}")
endif()

set(expected
    bin/quillmoor
    bin/quillmoor-convert
    bin/quillmoor-thumbnailer
    libexec/quillmoor/quillmoor-parser
    share/quillmoor/Info.plist
    share/quillmoor/Defaults.plist
    share/quillmoor/Share.html
    share/quillmoor/Credits.html
    share/quillmoor/Images/1009.cdr
    share/quillmoor/Images/1029.cdr
    share/quillmoor/Images/218413.cdr
    share/quillmoor/Images/heart.cdr
    share/quillmoor/Images/NOTICE
    share/applications/quillmoor.desktop
    share/icons/hicolor/scalable/apps/quillmoor.svg
    share/mime/packages/quillmoor.xml
    share/metainfo/com.ferrowby.Quillmoor.metainfo.xml
    share/thumbnailers/quillmoor.thumbnailer
    share/man/man1/quillmoor.1.gz
    share/man/man1/quillmoor-convert.1.gz
    share/man/man1/quillmoor-thumbnailer.1.gz)
foreach(path IN LISTS expected)
    if(NOT EXISTS "${PREFIX}/${path}")
        message(FATAL_ERROR "missing after install: ${path}")
    endif()
endforeach()
# The installed program runs.
execute_process(COMMAND "${CMAKE_COMMAND}" -E env QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1
                        QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
                        "${PREFIX}/bin/quillmoor" --help
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors
                TIMEOUT 120)
if(NOT result EQUAL 0 OR NOT output MATCHES "CorelDRAW")
    message(FATAL_ERROR "the installed program does not run (${result}):\n${output}${errors}")
endif()

# The installed converter finds the installed parser, which finds the
# private libcdr.
execute_process(COMMAND "${CMAKE_COMMAND}" -E env --unset=QUILLMOOR_PARSER
                        "${PREFIX}/bin/quillmoor-convert" "${CORPUS_DIR}/files/x7_dblab_test.cdr"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors
                TIMEOUT 120)
if(NOT result EQUAL 0 OR NOT output MATCHES "</svg:svg>")
    message(FATAL_ERROR "the installed converter does not convert (${result}):\n${errors}")
endif()

set(desktop "${PREFIX}/share/applications/quillmoor.desktop")
find_program(validate desktop-file-validate REQUIRED)
execute_process(COMMAND "${validate}" "${desktop}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR output MATCHES "error:")
    message(FATAL_ERROR "desktop-file-validate rejects the entry:\n${output}")
endif()

file(READ "${desktop}" entry)
string(REGEX MATCH "\nMimeType=[^\n]*" mime_line "${entry}")
foreach(type application/vnd.corel-draw image/x-cmx)
    string(FIND "${mime_line}" "=${type};" at_start)
    string(FIND "${mime_line}" ";${type};" later)
    if(at_start EQUAL -1 AND later EQUAL -1)
        message(FATAL_ERROR "the desktop entry does not declare ${type}: ${mime_line}")
    endif()
endforeach()
if(NOT entry MATCHES "\nExec=quillmoor %[fF]\n")
    message(FATAL_ERROR "the desktop entry does not hand files to the program")
endif()
if(NOT entry MATCHES "\nIcon=quillmoor\n")
    message(FATAL_ERROR "the desktop entry does not name the installed icon")
endif()

# Software centres accept the metadata.
find_program(appstreamcli appstreamcli REQUIRED)
execute_process(COMMAND "${appstreamcli}" validate --no-net
                        "${PREFIX}/share/metainfo/com.ferrowby.Quillmoor.metainfo.xml"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "appstreamcli rejects the metadata:\n${output}")
endif()

# The manual pages read without a warning.
find_program(man_program man REQUIRED)
foreach(page quillmoor quillmoor-convert quillmoor-thumbnailer)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E env LC_ALL=C.UTF-8 MANWIDTH=80
                            "${man_program}" --warnings -E UTF-8 -l
                            "${PREFIX}/share/man/man1/${page}.1.gz"
                    RESULT_VARIABLE result OUTPUT_VARIABLE text ERROR_VARIABLE warnings)
    if(NOT result EQUAL 0 OR NOT warnings STREQUAL "" OR NOT text MATCHES "SYNOPSIS")
        message(FATAL_ERROR "the manual page of ${page} does not read cleanly:\n${warnings}")
    endif()
endforeach()

# The samples are the shipped drawings, byte for byte.
foreach(sample 1009 1029 218413 heart)
    file(SHA256 "${PREFIX}/share/quillmoor/Images/${sample}.cdr" installed)
    file(SHA256 "${CMAKE_CURRENT_LIST_DIR}/../../resources/Images/${sample}.cdr" shipped)
    if(NOT installed STREQUAL shipped)
        message(FATAL_ERROR "sample ${sample} differs from the shipped drawing")
    endif()
endforeach()

# With the MIME database refreshed, .cmx files have their type.
if(EXISTS "${PREFIX}/share/mime/globs2")
    file(STRINGS "${PREFIX}/share/mime/globs2" globs REGEX "image/x-cmx")
    if(NOT globs MATCHES "\\*\\.cmx")
        message(FATAL_ERROR "the MIME database in the prefix has no *.cmx glob")
    endif()
endif()

file(REMOVE_RECURSE "${PREFIX}")
message(STATUS "install into ${PREFIX} checked")
