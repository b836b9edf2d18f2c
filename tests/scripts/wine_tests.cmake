# The Windows programs of the mingw and mingw-x86 presets, run under wine: the 64-bit ones
# under Debian's wine64 loader, the 32-bit ones under the 32-bit loader of wine32 (an i386
# package). Every test but the console's shares one fresh wine prefix, made by the
# wine.setup fixture (wine's first start in a prefix is slow) and removed by wine.cleanup.

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(wine_bits 64)
  set(wine_loader wine64)
  set(wine_package wine64)
else()
  set(wine_bits 32)
  set(wine_loader wine)
  set(wine_package wine32:i386)
endif()
# The loaders themselves, in /usr/lib/wine: /usr/bin/wine, when there, is a script that
# picks one of them.
find_program(WINE NAMES ${wine_loader} HINTS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(NOT WINE)
  message(WARNING "${wine_loader} not found (Debian package ${wine_package}): the wine tests will fail")
  set(WINE /usr/lib/wine/${wine_loader})
endif()

# The programs again, from the same sources, with every fclose failing.
foreach(program IN ITEMS monolook monosketch)
  mono_program_variant(${program}_fclose_fails ${program})
  target_sources(${program}_fclose_fails PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/fclose_fails.cpp)
  target_link_options(${program}_fclose_fails PRIVATE -Wl,--wrap=fclose)
endforeach()

set(wine_environment
  WINE=${WINE}
  WINE_PACKAGE=${wine_package}
  WINE_PROGRAM_BITS=${wine_bits}
  WINEPREFIX=${CMAKE_CURRENT_BINARY_DIR}/wine-prefix
  MONOLOOK_EXE=$<TARGET_FILE:monolook>
  MONOSKETCH_EXE=$<TARGET_FILE:monosketch>
  MONOLOOK_CLOSE_FAILS_EXE=$<TARGET_FILE:monolook_fclose_fails>
  MONOSKETCH_CLOSE_FAILS_EXE=$<TARGET_FILE:monosketch_fclose_fails>
  SAMPLE=${PROJECT_SOURCE_DIR}/samples/intelww4.bmp
  BMP_REFERENCE=$<TARGET_FILE:bmp_reference>
  BMP_REFERENCE_RUNNER=${WINE})

set(wine_cases
  sketch-draws-the-sample sketch-failures sketch-close-failure
  look-inspects-the-sample look-failures look-waits-for-a-key look-close-failure
  large-array-out-of-memory large-pixels-beyond-2-and-4-gib)

foreach(name IN ITEMS setup cleanup ${wine_cases})
  add_test(NAME wine.${name} COMMAND ${BASH} ${CMAKE_CURRENT_SOURCE_DIR}/wine_test.sh ${name})
  set_tests_properties(wine.${name} PROPERTIES ENVIRONMENT "${wine_environment}" TIMEOUT 300)
endforeach()
set_tests_properties(wine.setup PROPERTIES FIXTURES_SETUP wine_prefix TIMEOUT 900)
set_tests_properties(wine.cleanup PROPERTIES FIXTURES_CLEANUP wine_prefix)
list(TRANSFORM wine_cases PREPEND wine. OUTPUT_VARIABLE wine_case_tests)
set_tests_properties(${wine_case_tests} PROPERTIES FIXTURES_REQUIRED wine_prefix)
# monosketch.exe reads one fixed place on drive C:, which these tests fill in turn.
set_tests_properties(wine.sketch-draws-the-sample wine.sketch-failures wine.sketch-close-failure
  wine.large-array-out-of-memory wine.large-pixels-beyond-2-and-4-gib
  PROPERTIES RESOURCE_LOCK monosketch_fixed_path)
# The 64-bit programs can allocate a pixel array of more than 4 GiB: there the case that
# wants them to run out of memory says why it does not apply, and is counted as skipped.
set_tests_properties(wine.large-array-out-of-memory PROPERTIES SKIP_RETURN_CODE 77)

# monolook.exe in wine's console, on a terminal that tmux gives it, under code pages 437,
# 852 and 65001 (skipped when wine or tmux is missing). It makes a wine prefix of its own
# in a temporary folder, since it stops that prefix's wineserver when it ends.
set(wine_console_environment
  WINE=${WINE}
  WINE_PACKAGE=${wine_package}
  MONOLOOK_EXE=$<TARGET_FILE:monolook>
  SAMPLE=${PROJECT_SOURCE_DIR}/samples/intelww4.bmp
  BMP_REFERENCE=$<TARGET_FILE:bmp_reference>
  BMP_REFERENCE_RUNNER=${WINE})
add_test(NAME wine.look-in-wine-console COMMAND ${BASH} ${CMAKE_CURRENT_SOURCE_DIR}/wine_console_test.sh)
set_tests_properties(wine.look-in-wine-console PROPERTIES
  ENVIRONMENT "${wine_console_environment}" SKIP_RETURN_CODE 77 TIMEOUT 900)
