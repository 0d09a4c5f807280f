# What `cmake --install` puts where, in the usual folders below the prefix:
# the two programs in bin/, the window program the simulator hands over to in
# libexec/qozcal/, their manual pages (gzip-compressed, as Debian keeps them)
# in share/man/man1/, and the README, the other documents and the
# example pen scripts in share/doc/qozcal/.
include(GNUInstallDirs)

install(TARGETS qozcal qozcal-listen RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS qozcal-window RUNTIME DESTINATION ${QOZCAL_WINDOW_DIR})

# Compresses `source` into `output` as Debian does (gzip -9, no name or time
# in the header) whenever `source` changes.
find_program(QOZCAL_GZIP gzip REQUIRED)
function(qozcal_gzip source output)
  get_filename_component(plain ${output} NAME_WLE)
  get_filename_component(folder ${output} DIRECTORY)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${folder}/${plain}
    COMMAND ${QOZCAL_GZIP} -9 -n -f ${folder}/${plain}
    DEPENDS ${source}
    COMMENT "Compressing ${plain}"
    VERBATIM)
endfunction()

set(compressed_pages)
foreach(page qozcal.1 qozcal-listen.1)
  qozcal_gzip(${PROJECT_SOURCE_DIR}/docs/man/${page} ${PROJECT_BINARY_DIR}/man/${page}.gz)
  list(APPEND compressed_pages ${PROJECT_BINARY_DIR}/man/${page}.gz)
endforeach()
add_custom_target(qozcal_man_pages ALL DEPENDS ${compressed_pages})
install(FILES ${compressed_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The licence goes with them as share/doc/qozcal/copyright (debian-package.cmake).
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The README links to docs/..., so the documents keep that folder.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
  PATTERN man EXCLUDE)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
