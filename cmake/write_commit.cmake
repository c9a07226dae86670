# Writes OUTPUT, a header with the commit the tree was built from
# (KORVANTA_COMMIT, empty outside a git checkout; "-modified" when tracked
# files differ from it). Run at every build; the file is rewritten only when
# its text changes, so an unchanged commit rebuilds nothing.
#   cmake -DSOURCE_DIR=... -DOUTPUT=... -P write_commit.cmake
set(commit "")
find_package(Git QUIET)
if(GIT_FOUND)
  # Only the tree's own checkout counts, not one that merely contains it (a
  # source tarball unpacked inside another repository).
  execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" rev-parse --show-toplevel
    OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE status)
  file(REAL_PATH "${SOURCE_DIR}" source)
  if(status EQUAL 0 AND top)
    file(REAL_PATH "${top}" top)
  endif()
  if(status EQUAL 0 AND top STREQUAL source)
    execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" rev-parse --short=12 HEAD
      OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      set(commit "")
    endif()
  endif()
  if(commit)
    # Stale index times would count as changes.
    execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" update-index -q --refresh
      OUTPUT_QUIET ERROR_QUIET)
    execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" diff-index --quiet HEAD --
      RESULT_VARIABLE changed OUTPUT_QUIET ERROR_QUIET)
    if(NOT changed EQUAL 0)
      string(APPEND commit "-modified")
    endif()
  endif()
endif()
set(text "// Made by cmake/write_commit.cmake at build time.\n#pragma once\n#define KORVANTA_COMMIT \"${commit}\"\n")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
else()
  set(old "")
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
