# Run by `cmake --install`: writes one product's launcher with Exec naming the executable where this install puts
# it, so the prefix given at install time (not the one configured) decides. DESTDIR only stages the files: the
# launcher names the executable as it will be once the staged tree is the root.
#   SENDRA_LAUNCHER_TEMPLATE  the .desktop template      SENDRA_LAUNCHER_RELATIVE  executable, relative to the prefix
#   SENDRA_PRODUCT_NAME, SENDRA_PRODUCT_ID               SENDRA_LAUNCHER_DATADIR   data folder, relative to the prefix
get_filename_component(prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
set(exec "${prefix}/${SENDRA_LAUNCHER_RELATIVE}")
# A launcher's Exec: reserved characters need the argument quoted, and %, " ` $ \ escaped inside the quotes;
# the desktop file's own string escaping then doubles every backslash.
string(REPLACE "%" "%%" exec "${exec}")
if(exec MATCHES "[ \t\n\"'\\\\><~|&;$*?#()`]")
  string(REPLACE "\\" "\\\\" exec "${exec}")
  string(REPLACE "\"" "\\\"" exec "${exec}")
  string(REPLACE "`" "\\`" exec "${exec}")
  string(REPLACE "$" "\\$" exec "${exec}")
  set(exec "\"${exec}\"")
  string(REPLACE "\\" "\\\\" exec "${exec}")
endif()
set(SENDRA_PRODUCT_EXEC "${exec}")
set(target "$ENV{DESTDIR}${prefix}/${SENDRA_LAUNCHER_DATADIR}/applications/${SENDRA_PRODUCT_ID}.desktop")
message(STATUS "Installing: ${target}")
configure_file("${SENDRA_LAUNCHER_TEMPLATE}" "${target}" @ONLY)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${target}")
