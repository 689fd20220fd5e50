# Builds the Debian package from the build folder into OUTPUT and checks
# what it holds: the programs, the parser process and the private libcdr it
# runs with, the desktop files, and the packages it needs at run time.
# Usage: cmake -DBUILD_DIR=... -DOUTPUT=... -P PackageTest.cmake

file(REMOVE_RECURSE "${OUTPUT}")
find_program(cpack cpack REQUIRED)
execute_process(COMMAND "${cpack}" -G DEB --config "${BUILD_DIR}/CPackConfig.cmake" -B "${OUTPUT}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cpack failed (${result}):\n${output}")
endif()
file(GLOB packages "${OUTPUT}/quillmoor_*.deb")
list(LENGTH packages count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one package, found: ${packages}")
endif()

find_program(dpkg_deb dpkg-deb REQUIRED)
execute_process(COMMAND "${dpkg_deb}" --contents ${packages}
                RESULT_VARIABLE result OUTPUT_VARIABLE contents)
foreach(path
        ./usr/bin/quillmoor ./usr/bin/quillmoor-convert ./usr/bin/quillmoor-thumbnailer
        ./usr/lib/quillmoor/libcdr-0.1.so.1
        ./usr/libexec/quillmoor/quillmoor-parser
        ./usr/share/applications/quillmoor.desktop
        ./usr/share/metainfo/com.ferrowby.Quillmoor.metainfo.xml
        ./usr/share/thumbnailers/quillmoor.thumbnailer
        ./usr/share/mime/packages/quillmoor.xml
        ./usr/share/man/man1/quillmoor.1.gz
        ./usr/share/man/man1/quillmoor-convert.1.gz
        ./usr/share/quillmoor/Info.plist)
    string(FIND "${contents}" " ${path}" found)
    if(found EQUAL -1)
        message(FATAL_ERROR "the package lacks ${path}:\n${contents}")
    endif()
endforeach()
# The desktop's caches belong to the system's packages; their triggers
# refresh them.
if(contents MATCHES "share/mime/mime.cache|share/mime/globs|mimeinfo.cache")
    message(FATAL_ERROR "the package carries the desktop's caches:\n${contents}")
endif()

execute_process(COMMAND "${dpkg_deb}" --field ${packages} Package Depends Section
                OUTPUT_VARIABLE fields)
foreach(dependency libqt6webenginecore6-bin libqt6webenginewidgets6 librsvg2-2 librevenge-0.0-0
                   liblcms2-2 libplist3)
    if(NOT fields MATCHES "[ ,]${dependency}[ ,(\n]")
        message(FATAL_ERROR "the package does not depend on ${dependency}:\n${fields}")
    endif()
endforeach()
if(fields MATCHES "libcdr-0.1")
    message(FATAL_ERROR "the package depends on the system libcdr:\n${fields}")
endif()
file(REMOVE_RECURSE "${OUTPUT}")
message(STATUS "package checked")
