# The Debian package, built by CPack from the install rules: `cpack -G DEB` in a build
# configured with -DCMAKE_INSTALL_PREFIX=/usr. The package installs where the build
# was configured to, so the paths written into pellam.pc, the unit and the menu items
# are the ones it holds. Its dependencies are read from the programs and libraries.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pellam)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Pellam developers <dev@pellam.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "personal mail system for workstations exchanging mail-11 mail")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Pellam is one shared mail library (libpellam) and the programs around it:
pellpost, the command-line sender; pelldesk, the graphical client; pellam,
the service that delivers queued mail into users' folders; setup, the
installer; pellreg, the editor of the registry store that holds all
configuration; and pellqueue, which shows the queue's control files.
The package includes the library's header and pkg-config file.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

# dpkg-shlibdeps names the library packages the binaries need. The client and setup
# also need Qt's platform plugins to show a window, which no binary names, and the
# ReadMe's menu item opens its file with xdg-open.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARGET pelldesk)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
endif()

# The library's shlibs file and the ldconfig trigger; the maintainer scripts tell
# systemd about the unit, and stop and disable the service before removal.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/packaging/debian/postinst
  ${PROJECT_SOURCE_DIR}/packaging/debian/prerm
  ${PROJECT_SOURCE_DIR}/packaging/debian/postrm
  ${PROJECT_SOURCE_DIR}/packaging/debian/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
