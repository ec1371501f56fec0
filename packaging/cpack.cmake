# The Debian package: `cpack -G DEB` in the build folder after building.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${VARIM_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "Varim Hard Disk Repair developers")
set(CPACK_PACKAGE_CONTACT "Varim Hard Disk Repair developers <hdd-repair@varim.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "hard disk health (S.M.A.R.T.) and surface scan and repair")
set(CPACK_PACKAGE_DESCRIPTION
"Varim Hard Disk Repair lists the computer's physical drives and shows what
each reports about its health over ATA S.M.A.R.T.: model, attributes with
names and thresholds, temperature, power-on hours, an OK or Bad status and
alarms for a hot drive and for attributes beyond their limits.

Its surface scan reads each block of a sector range, writes it back and
reads it again; bad blocks (or every block in regeneration mode) are
overwritten with zeros, rewritten with their content and verified. A scan
can be stopped, saved in a session file and continued. Disks in use are
never written.

The package holds the window (varim-repair, which asks for an
administrator's password through polkit), a demo window on a simulated
machine (varim-repair-demo) and the console tool varim.")
# Debian packages install under /usr whatever prefix the build was configured with.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 2)  # the top entry of debian/changelog
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://varim.example/hdd-repair")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window draws its texts in Arial's metric twin; pkexec asks for the password.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pkexec")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "smartmontools")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
