# Read by cpack before each package is made (CPACK_PROJECT_CONFIG_FILE): when
# SOURCE_DATE_EPOCH is not set, it is set to the time of the last commit. CPack's
# DEB, TGZ and ZIP generators then give every file and archive member that time,
# so two builds of one commit make the same packages, byte for byte.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH} AND CPACK_MONO_GIT)
  execute_process(
    COMMAND "${CPACK_MONO_GIT}" -C "${CPACK_MONO_SOURCE_DIR}" log -1 --format=%ct
    OUTPUT_VARIABLE mono_commit_time
    OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE mono_git_result
    ERROR_QUIET)
  if(mono_git_result EQUAL 0 AND mono_commit_time MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} "${mono_commit_time}")
  endif()
endif()
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  message(WARNING "SOURCE_DATE_EPOCH is not set and no commit time was found: "
                  "the packages take the time of this run")
endif()
