# `cpack -G DEB` in the build folder makes a Debian package of everything `cmake --install`
# installs, under /usr. The libraries come from dpkg-shlibdeps; what is only loaded at run time
# (Qt's image plugins) or makes the window look right is named here.
set(CPACK_PACKAGE_NAME lumivane)
set(CPACK_PACKAGE_VENDOR "Tessaly Software")
set(CPACK_PACKAGE_CONTACT "Tessaly Software <info@tessaly.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "puts a photo into a picture frame with a soft mask")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Lumivane scales, turns and blends a photo onto a picture frame, passe-partout or texture\n"
    "through a soft feather mask. The batch renderer lumivane-render applies the same design,\n"
    "saved as a framing template, to many photos. German user interface.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.tessaly.example/lumivane")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-wine, fonts-liberation")

include(CPack)
