# SPDX-License-Identifier: GPL-3.0-or-later
# `make package`: a Debian package built by CPack, dorvalix_<version>-1_<arch>.deb, its
# dependencies taken from the shared libraries the programs link (dpkg-shlibdeps) plus the
# fonts the windows are drawn in.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dorvalix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Dorvalix maintainers")
set(CPACK_PACKAGE_CONTACT "Dorvalix maintainers <maintainers@users.noreply.c-seed-77452c1a.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "refinement of lattice constants from powder-diffraction data")
set(CPACK_PACKAGE_DESCRIPTION
    "Dorvalix refines the lattice constants of a crystal by least squares from indexed
powder-diffraction reflections in eight crystal systems, reports the reciprocal and
direct cell with standard deviations and the residual of every reflection, and lists
the hkl reflections of a cell with d and 2-theta for an X-ray line. English and
Japanese interface; dorvalix-cli runs the same calculations from scripts, and reads
diffractometer files and fits their peaks.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${DORVALIX_PROJECT_URL})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, fonts-ipafont-mincho, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, xdg-utils")
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
include(CPack)
