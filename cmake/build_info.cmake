# Writes the build's identity header at build time, so the commit follows the
# checkout without a new configure. configure_file leaves the header alone
# when nothing changed, so an unchanged commit rebuilds nothing.
# Called with -DSOURCE_DIR= -DTEMPLATE= -DOUTPUT= and the values the template
# names (PEMBLOR_VERSION, PEMBLOR_DATA_FROM_BIN, PEMBLOR_BUILD_TREE_DATA_*).
set(PEMBLOR_COMMIT unknown)
find_program(GIT_PROGRAM git)
if(GIT_PROGRAM)
  # Only the source tree's own checkout counts, not a repository around it
  # (an unpacked source package inside some other working tree).
  execute_process(COMMAND ${GIT_PROGRAM} -C ${SOURCE_DIR} rev-parse --show-toplevel
                  OUTPUT_VARIABLE top RESULT_VARIABLE failed OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT failed)
    file(REAL_PATH "${top}" top)
    file(REAL_PATH "${SOURCE_DIR}" source)
  endif()
  if(NOT failed AND top STREQUAL source)
    execute_process(COMMAND ${GIT_PROGRAM} -C ${SOURCE_DIR} rev-parse --short=12 HEAD
                    OUTPUT_VARIABLE commit RESULT_VARIABLE failed OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT failed AND commit)
      set(PEMBLOR_COMMIT ${commit})
      execute_process(COMMAND ${GIT_PROGRAM} -C ${SOURCE_DIR} status --porcelain --untracked-files=no
                      OUTPUT_VARIABLE changes ERROR_QUIET)
      if(changes)
        string(APPEND PEMBLOR_COMMIT "-dirty")
      endif()
    endif()
  endif()
endif()
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
