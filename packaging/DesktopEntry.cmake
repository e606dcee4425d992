# Writes the desktop entry at install time, when the prefix is known (cmake --install
# --prefix, or /usr in CPack's staging area, which it reaches through DESTDIR).
# Expects GD_DESKTOP_TEMPLATE, GD_DESKTOP_OUTPUT, GD_APP_ID and GD_LAUNCHER_DIR (the
# launcher's directory below the prefix).
set(launcher "${CMAKE_INSTALL_PREFIX}/${GD_LAUNCHER_DIR}/gemeindedaten-launcher")
if(launcher MATCHES "\n")
    message(FATAL_ERROR "A desktop entry cannot name a program whose path holds a line break")
endif()

# Exec: a program path with a reserved character is quoted, with ", `, $ and \ escaped
# inside the quotes; a literal % is doubled. TryExec is a plain path.
set(exec "${launcher}")
string(REPLACE "%" "%%" exec "${exec}")
if(exec MATCHES "[ \t\"'\\\\<>~|&;$*?#()`]")
    string(REPLACE "\\" "\\\\" exec "${exec}")
    string(REPLACE "\"" "\\\"" exec "${exec}")
    string(REPLACE "`" "\\`" exec "${exec}")
    string(REPLACE "$" "\\$" exec "${exec}")
    set(exec "\"${exec}\"")
endif()
# Both are string values, in which a backslash is written twice.
string(REPLACE "\\" "\\\\" GD_DESKTOP_EXEC "${exec}")
string(REPLACE "\\" "\\\\" GD_DESKTOP_TRYEXEC "${launcher}")
configure_file("${GD_DESKTOP_TEMPLATE}" "${GD_DESKTOP_OUTPUT}" @ONLY)
