# Required and optional components. A missing required component is collected and stops configure with
# one line naming it and its Debian package (CMakeLists.txt reports them all at once); optional ones are
# listed in the summary printed at the end of configure and written to <build>/configure-summary.txt,
# which test.sh shows.

set(WAVETROVE_MISSING "")
set_property(GLOBAL PROPERTY WAVETROVE_SUMMARY "")

# Adds a line to the configure summary.
function(wavetrove_summary line)
  set_property(GLOBAL APPEND PROPERTY WAVETROVE_SUMMARY "${line}")
endfunction()

# Records a required component that was not found: `what` names it, `debian` is the package to install.
macro(wavetrove_missing what debian)
  list(APPEND WAVETROVE_MISSING "${what} (Debian package ${debian})")
endmacro()

# pkg-config modules every configuration needs; defines PkgConfig::<prefix>.
# wavetrove_require_pkg(<prefix> <debian package> <module>...)
macro(wavetrove_require_pkg prefix debian)
  pkg_check_modules(${prefix} QUIET IMPORTED_TARGET ${ARGN})
  if(NOT ${prefix}_FOUND)
    wavetrove_missing("pkg-config module(s) ${ARGN}" "${debian}")
  endif()
endmacro()

# pkg-config modules a part can do without; `role` says what is lost without them. Defines
# PkgConfig::<prefix> and <prefix>_FOUND.
# wavetrove_optional_pkg(<prefix> <debian package> <role> <module>...)
macro(wavetrove_optional_pkg prefix debian role)
  pkg_check_modules(${prefix} QUIET IMPORTED_TARGET ${ARGN})
  if(${prefix}_FOUND)
    wavetrove_summary("  found    ${ARGN}: ${role}")
  else()
    wavetrove_summary("  MISSING  ${ARGN} (Debian package ${debian}): no ${role}")
  endif()
endmacro()

# A command-line program the tests run as a reference. wavetrove_require_program(<var> <name> <debian>)
macro(wavetrove_require_program var name debian)
  find_program(${var} ${name})
  if(NOT ${var})
    wavetrove_missing("program ${name}" "${debian}")
  endif()
endmacro()

# Prints the summary and writes it to <build>/configure-summary.txt.
function(wavetrove_print_summary)
  get_property(lines GLOBAL PROPERTY WAVETROVE_SUMMARY)
  set(text "")
  foreach(line IN LISTS lines)
    message(STATUS "${line}")
    string(APPEND text "${line}\n")
  endforeach()
  file(WRITE ${CMAKE_BINARY_DIR}/configure-summary.txt "${text}")
endfunction()
