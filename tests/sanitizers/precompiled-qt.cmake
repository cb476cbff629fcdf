# A speed-up for the sanitizer and fuzz builds only: scripts/test-stages/50-sanitizers.sh
# and 60-fuzz.sh pass this file as CMAKE_PROJECT_INCLUDE. Qt's module headers, which take
# most of the compile time of every source file, are compiled once for the library and
# once for the tests instead of once per file: measured, a third less CPU time for the
# sanitizer build and half for the fuzz build. The main build is left as it is.
cmake_language(DEFER DIRECTORY "${CMAKE_SOURCE_DIR}" CALL kelvory_precompile_qt)

function(kelvory_precompile_qt)
  set(headers <QtCore> <QtGui> <QtWidgets> <QtSql> <QtPrintSupport>)
  target_precompile_headers(kelvory_core PRIVATE ${headers})
  if(NOT TARGET kelvory_test_support)
    return()
  endif()
  target_precompile_headers(kelvory_test_support PRIVATE ${headers} <QtTest>)
  # Every program of tests/ is compiled with the same flags as its support library.
  get_property(targets DIRECTORY "${CMAKE_SOURCE_DIR}/tests" PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_precompile_headers(${target} REUSE_FROM kelvory_test_support)
    endif()
  endforeach()
endfunction()
