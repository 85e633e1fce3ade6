# The release of varno.exe: its version resource, what a user gets (the
# program, the help file when it is built, 说明.txt) and the two packages that
# `cmake --build <dir> --target package` makes with CPack:
#   varno-<version>-win64.zip        the portable zip
#   varno-<version>-win64-setup.exe  a per-user NSIS installer
# The version is the one of project() in the top CMakeLists.txt.

# The names of the product, each defined here once.
set(VARNO_PRODUCT_NAME "批量清理")
set(VARNO_FILE_DESCRIPTION "${VARNO_PRODUCT_NAME} — CAD 图纸批量清理工具")

# The maker's texts come from the program's own header, so that the about
# window, the version resource and the installer name the same maker. Every
# line there that declares a text reads, on one line,
#   inline constexpr std::wstring_view Name = L"text";
# with no quote or backslash in the text; any other such line stops the
# configuration, so that no text is left out of the release unnoticed.
file(STRINGS ${PROJECT_SOURCE_DIR}/src/app/Maker.h maker_lines ENCODING UTF-8
     REGEX "wstring_view")
foreach(line IN LISTS maker_lines)
  if(line MATCHES "^[ \t]*//")
    continue()
  endif()
  if(NOT line MATCHES "^inline constexpr std::wstring_view ([A-Za-z]+) = L\"([^\"\\\\]*)\";$")
    message(FATAL_ERROR "src/app/Maker.h: this line is not one the release can read; write it "
                        "as inline constexpr std::wstring_view Name = L\"text\"; on one line, "
                        "with no quote or backslash in the text:\n  ${line}")
  endif()
  set(VARNO_MAKER_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
endforeach()
if(NOT VARNO_MAKER_Organisation OR NOT VARNO_MAKER_Author)
  message(FATAL_ERROR "src/app/Maker.h: the texts Organisation and Author were not found")
endif()
set(VARNO_COMPANY_NAME "${VARNO_MAKER_Organisation}")
set(VARNO_COPYRIGHT "版权所有 © ${VARNO_MAKER_Author}")

# VERSIONINFO, in varno.exe only.
configure_file(${PROJECT_SOURCE_DIR}/res/version.rc.in ${CMAKE_BINARY_DIR}/generated/version.rc
               @ONLY)
target_sources(varno PRIVATE ${CMAKE_BINARY_DIR}/generated/version.rc)

# 说明.txt: kept in UTF-8 with LF in the sources, shipped in code page 936
# with CR LF, the way a Chinese Windows Notepad reads it.
set(VARNO_README ${CMAKE_BINARY_DIR}/packaging/说明.txt)
add_custom_command(
  OUTPUT ${VARNO_README}
  COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/packaging/说明.txt -DOUT=${VARNO_README}
          -DVERSION=${PROJECT_VERSION} -P ${PROJECT_SOURCE_DIR}/cmake/ToCodePage936.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/说明.txt ${PROJECT_SOURCE_DIR}/cmake/ToCodePage936.cmake
  COMMENT "说明.txt in code page 936"
  VERBATIM)
add_custom_target(varno_readme ALL DEPENDS ${VARNO_README})

# What is installed, in one flat folder: the program and what lies beside it.
install(TARGETS varno RUNTIME DESTINATION .)
install(FILES ${VARNO_README} DESTINATION .)
# The help file, where the tree builds one (target varno_help): the packages
# take it along when it is there, and building everything builds it.
install(FILES ${CMAKE_BINARY_DIR}/varno.chm DESTINATION . OPTIONAL)
function(varno_package_help)
  if(TARGET varno_help)
    add_dependencies(varno_readme varno_help)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL varno_package_help)

set(CPACK_PACKAGE_NAME varno)
set(CPACK_PACKAGE_VENDOR "${VARNO_COMPANY_NAME}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${VARNO_FILE_DESCRIPTION}")
set(CPACK_SYSTEM_NAME win64)
set(VARNO_PACKAGE_NAME varno-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_PACKAGE_FILE_NAME ${VARNO_PACKAGE_NAME})
set(CPACK_PACKAGE_INSTALL_DIRECTORY varno)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY varno)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR ZIP NSIS)
# The installer's file name gets "-setup" (packaging/CPackOptions.cmake).
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/packaging/CPackOptions.cmake)
# packaging/NSIS.template.in replaces CPack's own, which installs for all
# users under HKLM and needs administrator rights.
set(CPACK_MODULE_PATH ${PROJECT_SOURCE_DIR}/packaging)
set(CPACK_NSIS_DISPLAY_NAME "${VARNO_PRODUCT_NAME}")
set(CPACK_NSIS_PACKAGE_NAME "${VARNO_PRODUCT_NAME}")
set(CPACK_NSIS_UNINSTALL_NAME uninstall)
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/res/varno.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/res/varno.ico)
# The texts of the installer's own version resource.
set(CPACK_NSIS_VARNO_COPYRIGHT "${VARNO_COPYRIGHT}")
set(CPACK_NSIS_VARNO_VERSION_QUAD
    "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
include(CPack)

# The packages' paths, for the tests.
set(VARNO_PACKAGE_ZIP ${CMAKE_BINARY_DIR}/${VARNO_PACKAGE_NAME}.zip)
set(VARNO_PACKAGE_SETUP ${CMAKE_BINARY_DIR}/${VARNO_PACKAGE_NAME}-setup.exe)
