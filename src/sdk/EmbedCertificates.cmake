# Writes OUTPUT, a C++ source holding the base64 DER text of each PEM file
# in CERTS (a ;-separated list, in order).
set(entries "")
foreach(pem IN LISTS CERTS)
    file(READ "${pem}" text)
    string(REGEX MATCH "-----BEGIN CERTIFICATE-----(.*)-----END CERTIFICATE-----" _ "${text}")
    string(REGEX REPLACE "[\r\n\t ]" "" body "${CMAKE_MATCH_1}")
    if(body STREQUAL "")
        message(FATAL_ERROR "No certificate in ${pem}")
    endif()
    get_filename_component(name "${pem}" NAME)
    string(APPEND entries "    // ${name}\n    \"${body}\",\n")
endforeach()
file(WRITE "${OUTPUT}.tmp"
"// Generated from the pinned root certificates; do not edit.\n"
"#include <array>\n#include <string_view>\n\n"
"extern const std::array<std::string_view, 8> ORRPinnedCertificateBase64;\n"
"const std::array<std::string_view, 8> ORRPinnedCertificateBase64 = {\n${entries}};\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
