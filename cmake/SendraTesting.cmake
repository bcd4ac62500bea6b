# sendra_add_test(<name> SOURCES ... LIBS ... [GUI] [SERIAL] [TIMEOUT s])
# One GoogleTest executable with the shared test main (temporary HOME and XDG folders, pinned locale,
# a Qt application object). Its cases are discovered when ctest runs, not at build time. SERIAL runs them with
# nothing else beside them: for cases that check the main thread's responsiveness, which a loaded machine skews.
include(GoogleTest)
find_package(GTest REQUIRED)

function(sendra_add_test name)
  cmake_parse_arguments(T "GUI;SERIAL" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  if(T_GUI)
    target_link_libraries(${name} PRIVATE SendraTestMainGui)
  else()
    target_link_libraries(${name} PRIVATE SendraTestMain)
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(serial FALSE)
  if(T_SERIAL)
    set(serial TRUE)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${T_TIMEOUT}
               RUN_SERIAL ${serial}
               ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QUICK_BACKEND=software;LANG=C.UTF-8;LC_ALL=C.UTF-8;QT_MEDIA_BACKEND=ffmpeg")
endfunction()
