# Fails unless every DLL that PROGRAM imports is a Windows system DLL (the
# kernel, user interface, graphics, common controls, common dialogs, COM
# (through which the imaging component is reached), Winsock, C runtime and
# its API sets): no compiler runtime DLL may be needed beside the .exe.
# Usage: cmake -DOBJDUMP=<objdump> -DPROGRAM=<exe> -P CheckImports.cmake
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM}
  OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${PROGRAM} failed")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
if(NOT imports)
  message(FATAL_ERROR "no imports found in ${PROGRAM}")
endif()
set(system_dlls "^(KERNEL32|USER32|GDI32|COMCTL32|COMDLG32|OLE32|ADVAPI32|WS2_32|MSVCRT|UCRTBASE)\\.DLL$|^API-MS-WIN-")
foreach(line IN LISTS imports)
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOUPPER "${dll}" upper)
  if(NOT upper MATCHES "${system_dlls}")
    message(FATAL_ERROR "${PROGRAM} imports ${dll}, which is not a system DLL")
  endif()
  message(STATUS "imports ${dll}")
endforeach()
