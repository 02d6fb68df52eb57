# The Debian package (cpack -G DEB in the build folder): the install tree under /usr.
# Depends: the shared libraries every installed ELF file links (dpkg-shlibdeps: Qt 6,
# libsmbclient, libsecret, ...) and what the programs load or run by name.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quendle)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Quendle developers")
set(CPACK_PACKAGE_CONTACT "The Quendle developers <quendle@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://example.org/quendle/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# shared-mime-info: the file types (QMimeDatabase); the rest is started by name or
# loaded by Qt: xdg-open for opening found files, lp for printing them, gio for
# mapping a share, an icon theme for the file images, CJK fonts for the Japanese texts.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "shared-mime-info")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "xdg-utils, cups-client, libglib2.0-bin, gvfs-backends, adwaita-icon-theme | hicolor-icon-theme, fonts-noto-cjk | fonts-ipafont-gothic, qt6-wayland")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "file search for the SMB network, with a Japanese interface")
# The summary is the first line of the package's description, this text the rest.
set(CPACK_PACKAGE_DESCRIPTION "Quendle searches the shared folders of an SMB local-area network: pick a
place (the entire network, a workgroup, a computer, a shared folder or a
folder inside one), give name patterns, the kind of thing to find, a string
the files must contain, a time range and a size range, and every match
becomes a row of the result list.

The package holds the window (qv), the same search for the terminal
(qvsearch) and the helper process that makes the SMB calls.")
include(CPack)
