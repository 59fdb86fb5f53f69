# The Debian package, made with `cpack -G DEB` in the build directory:
# zantor_<version>_amd64.deb, installing under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zantor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Zantor developers <zantor@users.noreply.github.com>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://zantor.github.io/")
# The libraries come from the binaries; the interface is Chinese, and without
# a CJK font it shows boxes; the toolkit's own dialogs speak Chinese only with
# its translations.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei | fonts-noto-cjk, qt6-translations-l10n")
# cpack indents every line after the first and turns an empty one into " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "exact desktop adding machine with a searchable tape
Zantor is a small adding machine for the desktop with a Simplified Chinese
interface. Type a number and press Enter: the pending operator is applied to
the running total, exactly, on decimal digits. Every step is kept in a
history that can be searched, sorted and exported as HTML, CSV or text.
zantor-tape runs the same calculation on the command line.

Zantor 是一个精确计算的桌面加法机：输入数字后按回车，当前运算符即作用于
累计结果，按十进制数字精确计算。每一步都记入历史记录，可查找、排序，并导出
为 HTML、CSV 或文本文件。")

# What Debian asks of every package: the copyright, the changelog and a
# manual page for each program.
set(ZANTOR_DEB_DOC ${CMAKE_BINARY_DIR}/deb-doc)
file(MAKE_DIRECTORY ${ZANTOR_DEB_DOC})
configure_file(${PROJECT_SOURCE_DIR}/res/deb/copyright ${ZANTOR_DEB_DOC}/copyright COPYONLY)
configure_file(${PROJECT_SOURCE_DIR}/res/deb/changelog ${ZANTOR_DEB_DOC}/changelog COPYONLY)
execute_process(COMMAND gzip -9 -n -f -k ${ZANTOR_DEB_DOC}/changelog)
install(FILES ${ZANTOR_DEB_DOC}/copyright ${ZANTOR_DEB_DOC}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zantor)
foreach(page zantor zantor-tape)
  configure_file(${PROJECT_SOURCE_DIR}/res/deb/${page}.1 ${ZANTOR_DEB_DOC}/${page}.1 COPYONLY)
  execute_process(COMMAND gzip -9 -n -f -k ${ZANTOR_DEB_DOC}/${page}.1)
  install(FILES ${ZANTOR_DEB_DOC}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

include(CPack)
