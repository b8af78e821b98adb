# A Debian package of the installed tree: `cpack -G DEB` in a build directory. Its dependencies are
# read off the binaries by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME mimicbox)
set(CPACK_PACKAGE_VENDOR "The Mimicbox developers")
set(CPACK_PACKAGE_CONTACT "The Mimicbox developers <mimicbox@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "stand-in for a USB temperature sensor or relay on a device server")
set(CPACK_PACKAGE_DESCRIPTION
    "Mimicbox lets you build and test a device server without the hardware: it connects as a TCP
client and sends the records a Thermo-Box temperature sensor or a Relay-Box relay would send.
mimicbox-cli runs thousands of simulated devices without a window; mimicbox-server is a
reference device server.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The pytest plugin needs them only when a test suite loads it.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3-pytest, python3-prometheus-client, python3-pytest-xdist")
set(CPACK_STRIP_FILES ON)
include(CPack)
