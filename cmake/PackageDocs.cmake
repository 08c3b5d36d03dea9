# What a Debian package carries besides the program: the copyright file (the
# licence in the machine-readable format), the changelog and the manual
# pages, compressed as Debian policy asks (gzip -9, no name or time stamp, so
# two builds give the same bytes).

set(QUILLWREN_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/quillwren)
set(docs ${CMAKE_BINARY_DIR}/package-docs)
file(MAKE_DIRECTORY ${docs})

# The licence's text indented one blank, its empty lines written as " .".
file(READ ${CMAKE_SOURCE_DIR}/LICENSE licence)
string(REGEX REPLACE "^MIT License\n\n" "" licence "${licence}")
string(REGEX REPLACE "\n+$" "" licence "${licence}")
string(REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REPLACE "\n" "\n " licence "${licence}")
file(WRITE ${docs}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Quillwren
Upstream-Contact: ${CPACK_PACKAGE_CONTACT}

Files: *
Copyright: 2026 Orvo
License: Expat
 ${licence}
")

find_program(GZIP gzip REQUIRED)
set(compressed)
function(quillwren_gzip source target)
    add_custom_command(OUTPUT ${target}
                       COMMAND ${GZIP} -9nc ${source} > ${target}
                       DEPENDS ${source} VERBATIM)
    set(compressed ${compressed} ${target} PARENT_SCOPE)
endfunction()

quillwren_gzip(${CMAKE_SOURCE_DIR}/data/debian/changelog ${docs}/changelog.gz)
foreach(page quillwren.1 quillwren-standin.1)
    configure_file(${CMAKE_SOURCE_DIR}/data/man/${page} ${docs}/${page} @ONLY)
    quillwren_gzip(${docs}/${page} ${docs}/${page}.gz)
endforeach()
add_custom_target(package-docs ALL DEPENDS ${compressed})

install(FILES ${docs}/copyright ${docs}/changelog.gz DESTINATION ${QUILLWREN_DOC_DIR})
install(FILES ${docs}/quillwren.1.gz ${docs}/quillwren-standin.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
