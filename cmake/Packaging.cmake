# Installing and packaging: the programs in bin/, the desktop entry in
# share/applications/, and in share/varnex-quorlink/, where the programs find
# them (firmwarefolder.h), the sample files for the simulated switch and an
# empty folder for the maker's real firmware files.
#   cmake --install build --prefix /usr/local
#   (cd build && cpack -G DEB)
include(GNUInstallDirs)

install(TARGETS Update Tamber quorlink RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/varnex-quorlink-update.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The samples are written by the build (tools/firmwaremaker). The firmware
# folder is made empty: the Open dialog on a real port starts there, and
# must not find a sample.
install(DIRECTORY "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/samples"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/varnex-quorlink)
install(DIRECTORY DESTINATION "${CMAKE_INSTALL_DATADIR}/varnex-quorlink/Firmware Update")

set(CPACK_PACKAGE_NAME varnex-quorlink-update)
set(CPACK_PACKAGE_VENDOR "Varnex")
set(CPACK_PACKAGE_CONTACT "Varnex Quorlink support <support@varnex.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Reads versions of, updates and restarts the cards of a Varnex Quorlink KVM switch")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The Qt libraries the programs link, found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
