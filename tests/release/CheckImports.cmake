# cmake -DEXE=<varno.exe> -DOBJDUMP=<objdump> -P CheckImports.cmake
# varno.exe ships as one file: every DLL it imports must come with Windows
# itself. A MinGW runtime DLL (libstdc++-6, libgcc_s_seh-1, libwinpthread-1)
# or any other library showing up here would make the zip and the installer
# fail on a user's machine.
cmake_minimum_required(VERSION 3.20)
set(system_dlls
    advapi32 bcrypt comctl32 comdlg32 crypt32 gdi32 imm32 kernel32 msvcrt ole32 oleaut32
    rpcrt4 shell32 shlwapi user32 userenv uxtheme version winmm ws2_32)
execute_process(COMMAND "${OBJDUMP}" -p "${EXE}" OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${EXE} failed")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
if(NOT lines)
  message(FATAL_ERROR "no imported DLL found in ${EXE}: is this a PE file?")
endif()
set(foreign "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "DLL Name: " "" dll "${line}")
  string(TOLOWER "${dll}" dll)
  string(REGEX REPLACE "\\.dll$" "" name "${dll}")
  # The Universal C Runtime's API sets are part of Windows 10 and later.
  if(NOT name IN_LIST system_dlls AND NOT name MATCHES "^api-ms-win-")
    list(APPEND foreign "${dll}")
  endif()
  message(STATUS "imports ${dll}")
endforeach()
if(foreign)
  message(FATAL_ERROR "${EXE} needs DLLs that Windows does not have: ${foreign}")
endif()
