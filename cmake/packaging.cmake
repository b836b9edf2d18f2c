# CPack: the Debian package and a .tar.gz of the same files on Linux (`cmake --workflow
# --preset package`), a zip of the Windows programs from the mingw build
# (`cmake --workflow --preset package-windows`). The packages land in the build folder.
set(CPACK_PACKAGE_NAME monobitmap)
set(CPACK_PACKAGE_VENDOR "the monobitmap authors")
set(CPACK_PACKAGE_CONTACT "the monobitmap authors <monobitmap@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "show a one-bit BMP picture as character art on a console")
set(CPACK_PACKAGE_DESCRIPTION
  "Two small console programs that draw the monochrome BMP picture intelww4.bmp
of the working directory on a text console, one character per pixel and one
line per pixel row. monolook reports the BMP header fields, lists the pixel
bytes in hexadecimal and draws the picture with full blocks; monosketch draws
it with @ characters and prints nothing else.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The packages' time stamps: SOURCE_DATE_EPOCH, or the last commit's time when it is
# unset, taken when cpack runs (cmake/source_date_epoch.cmake).
find_package(Git QUIET)
set(CPACK_MONO_GIT "${GIT_EXECUTABLE}")
set(CPACK_MONO_SOURCE_DIR "${PROJECT_SOURCE_DIR}")
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/source_date_epoch.cmake)

string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" mono_package_system)
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${mono_package_system})

if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  # monobitmap_<version>_<architecture>.deb
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The dependencies are those dpkg-shlibdeps (package dpkg-dev) finds in the programs.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
