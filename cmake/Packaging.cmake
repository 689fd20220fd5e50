# A Debian package of the installed tree: cpack -G DEB in the build folder
# (scripts/package does it and checks the result). The private libcdr goes
# with it, in /usr/lib/quillmoor; the other libraries are found by
# dpkg-shlibdeps, and what the programs load at run time is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmoor)
set(CPACK_PACKAGE_VENDOR Ferrowby)
set(CPACK_PACKAGE_CONTACT "Ferrowby <support@ferrowby.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for CorelDRAW drawings")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillmoor opens CorelDRAW drawings (.cdr, CorelDRAW 8 and later) and CMX
exchange files and shows their pages, which can be zoomed and panned. It
exports pages as PNG pictures, vector PDF documents or SVG drawings, prints
them, shows thumbnails of drawings in file managers and keeps the drawings
opened lately in the desktop's recent files. quillmoor-convert converts and
exports drawings from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
# Installed under DESTDIR, so that the install step leaves the desktop's
# caches to the package's triggers.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quillmoor.ferrowby.com/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(QUILLMOOR_PRIVATE_LIBCDR)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${QUILLMOOR_LIBCDR_PREFIX}/lib")
endif()
# The web view's renderer process and the icon's SVG support are loaded at
# run time, out of sight of dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6webenginecore6-bin, libqt6svg6")
# Metric-compatible stand-ins for the fonts drawings name.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-dejavu-core, fonts-liberation, fonts-crosextra-carlito, fonts-crosextra-caladea, fonts-urw-base35, fonts-wqy-microhei, qt6-wayland")
include(CPack)
