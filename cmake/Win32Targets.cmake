# Windows-only targets of the cross build.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# Import library for the host's Tamsil.dll, by name, independent of our stand-in.
set(TAMSIL_IMPLIB ${CMAKE_BINARY_DIR}/libtamsil_import.a)
if(MSVC)
  set(TAMSIL_IMPLIB ${CMAKE_BINARY_DIR}/tamsil_import.lib)
  add_custom_command(OUTPUT ${TAMSIL_IMPLIB}
    COMMAND lib /nologo /machine:x86 /def:${CMAKE_SOURCE_DIR}/cmake/TamsilImport.def /out:${TAMSIL_IMPLIB}
    DEPENDS ${CMAKE_SOURCE_DIR}/cmake/TamsilImport.def)
else()
  add_custom_command(OUTPUT ${TAMSIL_IMPLIB}
    COMMAND ${CMAKE_DLLTOOL} -m i386 -d ${CMAKE_SOURCE_DIR}/cmake/TamsilImport.def -l ${TAMSIL_IMPLIB}
    DEPENDS ${CMAKE_SOURCE_DIR}/cmake/TamsilImport.def)
endif()
add_custom_target(tamsil_import DEPENDS ${TAMSIL_IMPLIB})

# The plug-in.
file(GLOB KELVANE_WIN32_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/core/*.cpp ${CMAKE_SOURCE_DIR}/framework/*.cpp ${CMAKE_SOURCE_DIR}/pages/*.cpp
  ${CMAKE_SOURCE_DIR}/shell/*.cpp)
set(KELVANE_RC ${CMAKE_SOURCE_DIR}/res/Kelvane.rc)
add_library(Kelvane SHARED ${KELVANE_WIN32_SOURCES} ${CMAKE_SOURCE_DIR}/core/Kelvane.def)
if(EXISTS ${KELVANE_RC})
  target_sources(Kelvane PRIVATE ${KELVANE_RC})
  # The resource compiler reads the icons, which CMake does not see it do.
  file(GLOB KELVANE_ICONS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/icons/*.ico)
  set_source_files_properties(${KELVANE_RC} PROPERTIES OBJECT_DEPENDS "${KELVANE_ICONS}")
endif()
set_target_properties(Kelvane PROPERTIES PREFIX "" OUTPUT_NAME Kelvane)
target_include_directories(Kelvane PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/res ${CMAKE_SOURCE_DIR}/include)
add_dependencies(Kelvane tamsil_import)
target_link_libraries(Kelvane PRIVATE kelvane_logic ${TAMSIL_IMPLIB}
  comctl32 user32 gdi32 kernel32 ${KELVANE_STATIC_LINK})
# MinGW: the runtime's pthread_once goes to our own (core/RuntimeUnload.cpp),
# so loading the library leaves no record of the host's thread behind.
if(MINGW)
  target_link_options(Kelvane PRIVATE -Wl,--wrap=pthread_once)
endif()

# Our stand-in for the host's Tamsil.dll (bench and tests).
add_library(Tamsil SHARED ${CMAKE_SOURCE_DIR}/bench/tamsil/Tamsil.cpp ${CMAKE_SOURCE_DIR}/bench/tamsil/Tamsil.def)
set_target_properties(Tamsil PROPERTIES PREFIX "" OUTPUT_NAME Tamsil)
target_include_directories(Tamsil PRIVATE ${CMAKE_SOURCE_DIR}/include)
target_link_libraries(Tamsil PRIVATE ${KELVANE_STATIC_LINK})

# Helpers that load the plug-in like a host and drive its window like an operator.
file(GLOB KELVANE_HARNESS_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/harness/*.cpp)
add_library(kelvane_harness STATIC ${KELVANE_HARNESS_SOURCES})
target_include_directories(kelvane_harness PUBLIC ${CMAKE_SOURCE_DIR}/harness ${CMAKE_SOURCE_DIR}/include ${CMAKE_SOURCE_DIR}/res)
target_link_libraries(kelvane_harness PUBLIC kelvane_logic comctl32 user32 gdi32)

# A small host that loads the DLL and prints what start-up did.
add_executable(KelvaneProbe ${CMAKE_SOURCE_DIR}/bench/probe/KelvaneProbe.cpp)
target_link_libraries(KelvaneProbe PRIVATE kelvane_harness ${KELVANE_STATIC_LINK})
add_dependencies(KelvaneProbe Kelvane Tamsil)

# System tests under Wine: the real DLL, real windows, real profile files and mappings.
file(GLOB KELVANE_WINE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*.cpp)
add_executable(kelvane_wine_tests ${KELVANE_WINE_TESTS})
target_link_libraries(kelvane_wine_tests PRIVATE kelvane_harness gtest_main ${KELVANE_STATIC_LINK})
add_dependencies(kelvane_wine_tests Kelvane Tamsil KelvaneProbe)
add_test(NAME wine_system COMMAND kelvane_wine_tests --gtest_filter=-Cycles.*)
set_tests_properties(wine_system PROPERTIES TIMEOUT 1200)
# The open/close and load/unload cycles (KELVANE_SLOW=1) take minutes on their own.
add_test(NAME wine_cycles COMMAND kelvane_wine_tests --gtest_filter=Cycles.*)
set_tests_properties(wine_cycles PROPERTIES TIMEOUT 2400)

# The resize engine's test runs the page base on a dialog template of its own,
# so the page base (otherwise only inside the DLL) is compiled into the test too.
# Wnd.cpp brings the dialog procedure and AfxGetResourceHandle, which the test
# points at its own module.
target_sources(kelvane_wine_tests PRIVATE ${CMAKE_SOURCE_DIR}/framework/DialogResize.cpp
  ${CMAKE_SOURCE_DIR}/framework/Wnd.cpp ${CMAKE_SOURCE_DIR}/framework/ModuleGuard.cpp)
target_include_directories(kelvane_wine_tests PRIVATE ${CMAKE_SOURCE_DIR})

# The environment matrix: the system tests again in hosts that differ from ours
# the way real installations do (tests/wine/HostEnvironmentTest.cpp says what
# each host does), each with the suites its difference can reach.
set(KELVANE_NUMBER_SUITES "CoreTest.*:AcousticPage.*:*Typed*")
set(KELVANE_LAYOUT_SUITES "WindowTest.*:OperatorCues.*:ResizeEngine.*:GeneralPage.StatusLines*")
# Each kind of control once: list view, tooltips and tints, trackbars and
# drop-down lists, up-down arrows, list boxes.
set(KELVANE_CONTROL_SUITES "WindowTest.*:OperatorCues.*:AcousticPage.OpensWith*:AcousticPage.ArrowKey*:\
AcousticPage.EveryScrollCode*:AcousticPage.CurveAndThreshold*:DtGainPage.ChannelArrows*:GeneralPage.StatusLines*")
add_test(NAME wine_host_german COMMAND kelvane_wine_tests
  --gtest_filter=HostEnvironment.*:${KELVANE_NUMBER_SUITES}:WindowTest.Enter*:WindowTest.ReadBack*:OperatorCues.*Tip*)
set_tests_properties(wine_host_german PROPERTIES ENVIRONMENT KELVANE_HOST_ENV=german)
add_test(NAME wine_host_fpu COMMAND kelvane_wine_tests
  --gtest_filter=HostEnvironment.*:${KELVANE_NUMBER_SUITES}:Hardening.DamagedIniAndConfigFiles)
set_tests_properties(wine_host_fpu PROPERTIES ENVIRONMENT KELVANE_HOST_ENV=fpu)
# A prefix of its own: Wine takes the DPI from the prefix's registry when its server starts.
add_test(NAME wine_host_dpi144 COMMAND kelvane_wine_tests --gtest_filter=HostEnvironment.*:${KELVANE_LAYOUT_SUITES})
set_tests_properties(wine_host_dpi144 PROPERTIES ENVIRONMENT
  "KELVANE_HOST_ENV=dpi144;KELVANE_WINE_DPI=144;WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix-dpi144")
# The manifest goes beside the host exe, so this host is a copy of the test exe.
set(KELVANE_CC6_TESTS ${CMAKE_BINARY_DIR}/bin/kelvane_wine_tests_cc6.exe)
add_custom_command(TARGET kelvane_wine_tests POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:kelvane_wine_tests> ${KELVANE_CC6_TESTS}
  COMMAND ${CMAKE_COMMAND} -E copy
          ${CMAKE_SOURCE_DIR}/tests/wine/CommonControls6.manifest ${KELVANE_CC6_TESTS}.manifest)
add_test(NAME wine_host_cc6 COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-run.sh ${KELVANE_CC6_TESTS}
  --gtest_filter=HostEnvironment.*:${KELVANE_CONTROL_SUITES})
set_tests_properties(wine_host_cc6 PROPERTIES ENVIRONMENT KELVANE_HOST_ENV=cc6)
set_tests_properties(wine_host_german wine_host_fpu wine_host_dpi144 wine_host_cc6 PROPERTIES TIMEOUT 600)


# Export/import table check of the built DLL, and the floor its version resource names.
add_test(NAME dll_tables COMMAND ${CMAKE_COMMAND} -DDLL=$<TARGET_FILE:Kelvane> -DRC=${KELVANE_RC}
  -P ${CMAKE_SOURCE_DIR}/cmake/CheckDllTables.cmake)

# Figures: costs as ratios to same-run baselines (scripts/bench.sh; never a test).
add_library(EmptyDll SHARED ${CMAKE_SOURCE_DIR}/tests/figures/EmptyDll.cpp)
set_target_properties(EmptyDll PROPERTIES PREFIX "")
target_link_libraries(EmptyDll PRIVATE ${KELVANE_STATIC_LINK})
add_executable(kelvane_figures ${CMAKE_SOURCE_DIR}/tests/figures/Figures.cpp)
target_link_libraries(kelvane_figures PRIVATE kelvane_harness ${KELVANE_STATIC_LINK})
add_dependencies(kelvane_figures Kelvane Tamsil EmptyDll)

# The bench host: plays the acquisition host with a simulated tool.
file(GLOB KELVANE_BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/host/*.cpp)
add_executable(KelvaneBench ${KELVANE_BENCH_SOURCES})
target_include_directories(KelvaneBench PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(KelvaneBench PRIVATE kelvane_harness comdlg32 comctl32 ${KELVANE_STATIC_LINK})
add_dependencies(KelvaneBench Kelvane Tamsil)

# The bundled scripts end to end: the real DLL driven through its window.
foreach(script demo faults job)
  add_test(NAME bench_${script}
    COMMAND KelvaneBench --script ${CMAKE_SOURCE_DIR}/bench/scripts/${script}.txt
            --out ${CMAKE_BINARY_DIR}/bench-out/${script} --work D:\\bench-${script})
  set_tests_properties(bench_${script} PROPERTIES TIMEOUT 300)
endforeach()
