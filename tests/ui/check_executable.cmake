# Checks a built quilldex.exe without running it: its PE header and the
# resources it carries (icon group, main dialog, version block).
#   cmake -DEXE=quilldex.exe -DOBJDUMP=... -DWINDRES=... -DBITS=32|64 -P check_executable.cmake
# The resources are read back with windres, which writes them as a
# resource script.

if(NOT EXISTS "${EXE}")
  message(FATAL_ERROR "executable not built: ${EXE}")
endif()

cmake_minimum_required(VERSION 3.25)

set(failures "")
# Records `what` as missing unless the variable named `result` holds a match
# (a non-empty text, or a position other than -1).
function(expect result what)
  if("${${result}}" STREQUAL "" OR "${${result}}" STREQUAL "-1")
    set(failures "${failures}  ${what}\n" PARENT_SCOPE)
  endif()
endfunction()

execute_process(COMMAND "${OBJDUMP}" -p "${EXE}" OUTPUT_VARIABLE header RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  string(APPEND failures "  a PE header that objdump can read\n")
endif()
if(BITS EQUAL 32)
  string(FIND "${header}" "file format pei-i386" found)
  expect(found "an i386 program")
  string(REGEX MATCH "Magic[ \t]+010b[ \t]+\\(PE32\\)" found "${header}")
  expect(found "a PE32 image")
else()
  string(FIND "${header}" "file format pei-x86-64" found)
  expect(found "an x86-64 program")
  string(REGEX MATCH "Magic[ \t]+020b[ \t]+\\(PE32\\+\\)" found "${header}")
  expect(found "a PE32+ image")
endif()
string(REGEX MATCH "Subsystem[ \t]+00000002[ \t]+\\(Windows GUI\\)" found "${header}")
expect(found "the Windows GUI subsystem")

execute_process(COMMAND "${WINDRES}" -i "${EXE}" -O rc OUTPUT_VARIABLE resources RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  string(APPEND failures "  resources that windres can read\n")
endif()
string(REGEX REPLACE "\r" "" resources "${resources}")

# Icon group 102 with a 16x16 and a 32x32 image (width and height are
# written as octal escapes).
string(REGEX MATCH "\n102 14 /\\* RT_GROUP_ICON \\*/\nBEGIN\n[^\n]*Has 2 elements[^\n]*\n[^\n]*\n[^\n]*\"\\\\020\\\\020\\\\000\\\\000\", 1, 32,[^\n]*\n[^\n]*\"\\\\040\\\\040\\\\000\\\\000\", 1, 32,[^\n]*\nEND" found "${resources}")
expect(found "icon group 102 with a 16x16 and a 32x32 image")

set(dialog [=[
101 DIALOG 0, 0, 167, 177
STYLE 0x80ca08c0
CAPTION "QUILLDEX 1.0.7"
FONT 10, "MS Sans Serif"
BEGIN
  CONTROL "&Browse", 1020, "BUTTON", 0x50010000, 114, 6, 46, 12
  CONTROL "", 1006, "EDIT", 0x50810080, 70, 53, 68, 14
  CONTROL "Size", 1015, "BUTTON", 0x50010003, 74, 73, 24, 10
  CONTROL "Time", 1016, "BUTTON", 0x50010003, 104, 73, 26, 10
  CONTROL "Date", 1017, "BUTTON", 0x50010003, 136, 73, 26, 10
  CONTROL "Size style:", 65535, "STATIC", 0x50020000, 7, 92, 32, 8
  CONTROL "Auto", 1024, "BUTTON", 0x50010009, 43, 92, 24, 10
  CONTROL "bytes", 1021, "BUTTON", 0x50010009, 73, 92, 27, 10
  CONTROL "kb", 1022, "BUTTON", 0x50010009, 106, 92, 24, 10
  CONTROL "mb", 1023, "BUTTON", 0x50010009, 136, 92, 24, 10
  CONTROL "Make links.  Prefix:", 1018, "BUTTON", 0x50010003, 7, 106, 64, 10
  CONTROL "", 1019, "EDIT", 0x50810080, 74, 104, 86, 12
  CONTROL "Read <title> tag from HTML documents", 1028, "BUTTON", 0x50010003, 7, 120, 127, 10
  CONTROL "Directory depth:", 65535, "STATIC", 0x50020000, 7, 132, 50, 9
  CONTROL "Single", 1025, "BUTTON", 0x50000009, 77, 132, 32, 10
  CONTROL "Recursive", 1026, "BUTTON", 0x50000009, 117, 132, 43, 10
  CONTROL "&Create HTML", 1, "BUTTON", 0x50010001, 7, 145, 49, 14
  CONTROL "&Help", 1014, "BUTTON", 0x50010000, 59, 145, 49, 14
  CONTROL "E&xit", 1005, "BUTTON", 0x50010000, 111, 145, 49, 14
  CONTROL "Directory to create index of:", 65535, "STATIC", 0x50020000, 7, 8, 84, 8
  CONTROL "<current directory>", 1004, "STATIC", 0x50020080, 7, 21, 153, 29
  CONTROL "File mask:", 65535, "STATIC", 0x50020000, 7, 56, 35, 8
  CONTROL "Columns to include:", 65535, "STATIC", 0x50020000, 7, 74, 61, 8
]=])
string(FIND "${resources}" "${dialog}" found)
expect(found "dialog 101 as designed (frame, font, caption, controls in tab order)")
# The two attribution texts close the template; their wording may change.
string(REGEX MATCH "  CONTROL \"Columns to include:\"[^\n]*\n  CONTROL \"[^\"\n]+\", 65535, \"STATIC\", 0x5002008., 7, 163, 82, 8\n  CONTROL \"[^\"\n]+\", 65535, \"STATIC\", 0x5002008., 103, 163, 57, 8\nEND" found "${resources}")
expect(found "the two attribution texts at the foot of dialog 101")

foreach(line
    " FILEVERSION 1, 0, 7, 0\n"
    " PRODUCTVERSION 1, 0, 7, 0\n"
    "    BLOCK \"040904b0\"\n"
    "      VALUE \"ProductName\", \"QUILLDEX\"\n"
    "      VALUE \"FileVersion\", \"1, 0, 7, 0\"\n"
    "      VALUE \"ProductVersion\", \"1, 0, 7, 0\"\n"
    "      VALUE \"FileDescription\", \"quilldex\"\n"
    "      VALUE \"InternalName\", \"quilldex\"\n"
    "      VALUE \"OriginalFilename\", \"quilldex.exe\"\n"
    "    VALUE \"Translation\", 0x409, 1200\n")
  string(FIND "${resources}" "${line}" found)
  string(STRIP "${line}" shown)
  expect(found "version block: ${shown}")
endforeach()
string(REGEX MATCH "VALUE \"CompanyName\", \"[^\"]+\"" found "${resources}")
expect(found "version block: a CompanyName")

if(failures)
  message(FATAL_ERROR "${EXE} lacks:\n${failures}")
endif()
message(STATUS "${EXE}: ${BITS}-bit GUI program with icon 102, dialog 101 and the version block")
