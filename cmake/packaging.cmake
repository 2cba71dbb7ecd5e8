# Packages made with CPack (the deb and zip package presets): a Debian
# package of quilldex-cli on Linux, a .zip of the Windows programs and
# their guide on Windows.
set(CPACK_PACKAGE_NAME quilldex)
set(CPACK_PACKAGE_VENDOR "The Quilldex developers")
set(CPACK_PACKAGE_CONTACT "The Quilldex developers <quilldex@quilldex.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Writes an HTML index of a directory or of a directory tree")
set(CPACK_PACKAGE_DESCRIPTION
  "quilldex-cli writes an HTML table of the files of a directory, or an index\n into every directory of a tree, linked so that the tree can be browsed.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://quilldex.example.org/")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  math(EXPR bits "${CMAKE_SIZEOF_VOID_P} * 8")
  set(CPACK_SYSTEM_NAME win${bits})
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  # The library dependencies as dpkg-shlibdeps finds them in the programs.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
