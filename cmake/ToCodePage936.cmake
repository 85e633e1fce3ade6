# cmake -DIN=<UTF-8 text> -DOUT=<file> [-DVERSION=x.y.z] -P ToCodePage936.cmake
# Writes the text with CR LF line ends in code page 936 (GBK), as Notepad on a
# Chinese Windows reads a plain text file. @VERSION@ in the text is replaced.
# iconv does the conversion where it exists (Linux, MSYS2); on Windows without
# it, Windows PowerShell's .NET encoding 936 does.
file(READ "${IN}" text)
string(CONFIGURE "${text}" text @ONLY)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
set(utf8 "${OUT}.utf8")
file(WRITE "${utf8}" "${text}")
find_program(ICONV iconv)
if(ICONV)
  execute_process(COMMAND "${ICONV}" -f UTF-8 -t CP936 "${utf8}" OUTPUT_FILE "${OUT}"
                  RESULT_VARIABLE rc)
elseif(CMAKE_HOST_WIN32)
  file(TO_NATIVE_PATH "${utf8}" from)
  file(TO_NATIVE_PATH "${OUT}" to)
  execute_process(
    COMMAND powershell -NoProfile -NonInteractive -Command
            "[IO.File]::WriteAllText('${to}', [IO.File]::ReadAllText('${from}', [Text.Encoding]::UTF8), [Text.Encoding]::GetEncoding(936))"
    RESULT_VARIABLE rc)
else()
  message(FATAL_ERROR "no iconv: cannot write ${OUT} in code page 936")
endif()
file(REMOVE "${utf8}")
if(NOT rc EQUAL 0)
  file(REMOVE "${OUT}")
  message(FATAL_ERROR "the conversion of ${IN} to code page 936 failed")
endif()
