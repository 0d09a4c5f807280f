# What `cmake --install` puts where, in the usual folders below the prefix:
# the two programs in bin/, their manual pages (gzip-compressed, as Debian
# keeps them) in share/man/man1/, and the README, the other documents and the
# example pen scripts in share/doc/qozcal/.
include(GNUInstallDirs)

install(TARGETS qozcal qozcal-listen RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

find_program(QOZCAL_GZIP gzip REQUIRED)
set(compressed_pages)
foreach(page qozcal.1 qozcal-listen.1)
  set(source ${PROJECT_SOURCE_DIR}/docs/man/${page})
  set(copy ${PROJECT_BINARY_DIR}/man/${page})
  add_custom_command(OUTPUT ${copy}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
    COMMAND ${QOZCAL_GZIP} -9 -n -f ${copy}
    DEPENDS ${source}
    COMMENT "Compressing the manual page ${page}"
    VERBATIM)
  list(APPEND compressed_pages ${copy}.gz)
endforeach()
add_custom_target(qozcal_man_pages ALL DEPENDS ${compressed_pages})
install(FILES ${compressed_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The README links to docs/..., so the documents keep that folder.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
  PATTERN man EXCLUDE)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
