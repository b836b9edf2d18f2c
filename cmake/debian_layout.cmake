# The files of the Debian package: the programs, their manual pages compressed with
# `gzip -9n` (no name or time stamp inside, so every build gives the same bytes),
# and in share/doc/monobitmap the copyright in the machine-readable format and the
# changelog, compressed the same way.
find_program(MONO_GZIP gzip REQUIRED)

set(mono_packaged_dir ${PROJECT_BINARY_DIR}/packaged)
set(mono_gzipped)
foreach(source IN ITEMS man/monolook.1 man/monosketch.1 packaging/changelog)
  get_filename_component(name ${source} NAME)
  add_custom_command(
    OUTPUT ${mono_packaged_dir}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${mono_packaged_dir}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/${source} ${mono_packaged_dir}/${name}
    COMMAND ${MONO_GZIP} -9nf ${mono_packaged_dir}/${name}
    DEPENDS ${PROJECT_SOURCE_DIR}/${source}
    COMMENT "Compressing ${source}"
    VERBATIM)
  list(APPEND mono_gzipped ${mono_packaged_dir}/${name}.gz)
endforeach()
add_custom_target(packaged_files ALL DEPENDS ${mono_gzipped})

set(mono_file_permissions OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
set(mono_doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/monobitmap)
install(TARGETS monolook monosketch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped install (CPack strips) also drops the compilers' .comment sections, as
# Debian's own packaging does.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program IN ITEMS monolook monosketch)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                              \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
                      COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")
install(FILES ${mono_packaged_dir}/monolook.1.gz ${mono_packaged_dir}/monosketch.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 PERMISSIONS ${mono_file_permissions})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${mono_packaged_dir}/changelog.gz
        DESTINATION ${mono_doc_dir} PERMISSIONS ${mono_file_permissions})
