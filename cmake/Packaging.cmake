# Installing and packaging: the programs in bin/, the desktop entry in
# share/applications/ and the sample firmware folder in
# share/varnex-quorlink/, where the programs find it (firmwarefolder.h).
#   cmake --install build --prefix /usr/local
#   (cd build && cpack -G DEB)
include(GNUInstallDirs)

install(TARGETS Update Tamber quorlink RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/varnex-quorlink-update.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The folder is written by the build (tools/firmwaremaker).
install(DIRECTORY "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Firmware Update"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/varnex-quorlink)

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
