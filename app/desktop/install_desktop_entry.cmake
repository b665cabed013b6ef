# Runs at install time (cmake --install): writes the desktop entry and the
# icons into the user's XDG data folder ($XDG_DATA_HOME, or ~/.local/share).
# The entry points at the program in the install prefix, which may be given
# only now (cmake --install --prefix), so the entry is made here.

set(data_home "$ENV{XDG_DATA_HOME}")
if(NOT IS_ABSOLUTE "${data_home}")  # unset, empty or relative: the default
  if("$ENV{HOME}" STREQUAL "")
    message(FATAL_ERROR "Neither XDG_DATA_HOME nor HOME is set: no place for the desktop entry")
  endif()
  set(data_home "$ENV{HOME}/.local/share")
endif()

get_filename_component(folder "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
set(program "${folder}/velmar")
if(program MATCHES "[\n\r]")
  message(FATAL_ERROR "The card folder's path holds a line break; a desktop entry cannot name it")
endif()

# A string value escapes the backslash; Exec quotes its argument and escapes
# the characters special inside quotes, then the value is escaped as a string.
string(REPLACE "\\" "\\\\" VELMAR_TRY_EXEC "${program}")
string(REPLACE "\\" "\\\\" VELMAR_PATH "${folder}")
set(argument "${program}")
foreach(special "\\" "\"" "`" "$")
  string(REPLACE "${special}" "\\${special}" argument "${argument}")
endforeach()
string(REPLACE "\\" "\\\\" argument "\"${argument}\"")
string(REPLACE "%" "%%" VELMAR_EXEC "${argument}")

configure_file("${VELMAR_DESKTOP_TEMPLATE}" "${VELMAR_DESKTOP_STAGING}" @ONLY)
file(INSTALL "${VELMAR_DESKTOP_STAGING}" DESTINATION "${data_home}/applications")

foreach(size 16 32 48 64 256)
  file(INSTALL "${VELMAR_ICON_DIR}/velmar-${size}.png"
       DESTINATION "${data_home}/icons/hicolor/${size}x${size}/apps" RENAME velmar.png)
endforeach()
file(INSTALL "${VELMAR_ICON_DIR}/velmar.svg" DESTINATION "${data_home}/icons/hicolor/scalable/apps")
