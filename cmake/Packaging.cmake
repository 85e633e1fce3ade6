# The release of varno.exe: its version resource.
# The version is the one of project() in the top CMakeLists.txt.

# The names of the product, each defined here once.
set(VARNO_PRODUCT_NAME "批量清理")
set(VARNO_FILE_DESCRIPTION "${VARNO_PRODUCT_NAME} — CAD 图纸批量清理工具")

# The maker's texts come from the program's own header, so that the about
# window, the version resource and the installer name the same maker.
file(STRINGS ${PROJECT_SOURCE_DIR}/src/app/Maker.h maker_lines ENCODING UTF-8
     REGEX "std::wstring_view [A-Za-z]+ = L\"")
foreach(line IN LISTS maker_lines)
  if(line MATCHES "std::wstring_view ([A-Za-z]+) = L\"([^\"]*)\"")
    set(VARNO_MAKER_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
  endif()
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

