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
  # Named without its folder: dlltool makes its symbols' names from the path,
  # and they would carry the build folder into the plug-in.
  add_custom_command(OUTPUT ${TAMSIL_IMPLIB}
    COMMAND ${CMAKE_DLLTOOL} -m i386 -d ${CMAKE_SOURCE_DIR}/cmake/TamsilImport.def -l libtamsil_import.a
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
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
# The library goes out without its debug information, which a host would map
# (and Wine read) at every load; it stays beside it in Kelvane.dll.debug, which
# the debuggers find through the link left in the library. objcopy stamps the
# images it writes with the time unless SOURCE_DATE_EPOCH says otherwise: 0,
# as the linker leaves it (--no-insert-timestamp), so a build is the same bytes.
function(kelvane_split_debug target)
  if(MINGW AND CMAKE_OBJCOPY)
    set(objcopy ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_OBJCOPY})
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${objcopy} --only-keep-debug $<TARGET_FILE_NAME:${target}> $<TARGET_FILE_NAME:${target}>.debug
      COMMAND ${objcopy} --strip-debug --add-gnu-debuglink=$<TARGET_FILE_NAME:${target}>.debug
              $<TARGET_FILE_NAME:${target}>
      WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>)
  endif()
endfunction()
kelvane_split_debug(Kelvane)
# MinGW: the runtime's pthread_once goes to our own (core/RuntimeUnload.cpp),
# so loading the library leaves no record of the host's thread behind.
if(MINGW)
  target_link_options(Kelvane PRIVATE -Wl,--wrap=pthread_once)
endif()

# The entry module: the plug-in loads it from its own folder and pins it, so
# the procedures it hands the system outlive every unload (framework/EntryApi.h).
add_library(KelvaneEntry SHARED ${CMAKE_SOURCE_DIR}/framework/entry/KelvaneEntry.cpp
  ${CMAKE_SOURCE_DIR}/framework/entry/KelvaneEntry.def)
set_target_properties(KelvaneEntry PROPERTIES PREFIX "" OUTPUT_NAME KelvaneEntry1)
target_include_directories(KelvaneEntry PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(KelvaneEntry PRIVATE user32 kernel32 ${KELVANE_STATIC_LINK})
if(MINGW)
  target_compile_options(KelvaneEntry PRIVATE -fno-exceptions)
endif()
kelvane_split_debug(KelvaneEntry)
add_dependencies(Kelvane KelvaneEntry)

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
kelvane_test_code(kelvane_wine_tests)
target_precompile_headers(kelvane_wine_tests PRIVATE <gtest/gtest.h> <windows.h> <commctrl.h> <string> <vector>)
# The system tests in two halves (GoogleTest's sharding), so they run side
# by side with the rest; the cycles alone, short (scripts/soak.sh runs them at
# full length).
foreach(shard 0 1)
  add_test(NAME wine_system_${shard} COMMAND kelvane_wine_tests --gtest_filter=-Cycles.*)
  set_tests_properties(wine_system_${shard} PROPERTIES
    ENVIRONMENT "GTEST_TOTAL_SHARDS=2;GTEST_SHARD_INDEX=${shard}" TIMEOUT 900)
endforeach()
add_test(NAME wine_cycles COMMAND kelvane_wine_tests --gtest_filter=Cycles.*)
set_tests_properties(wine_cycles PROPERTIES TIMEOUT 2400 LABELS slow)

# The resize engine's test runs the page base on a dialog template of its own,
# so the page base (otherwise only inside the DLL) is compiled into the test too.
# Dialog.cpp brings the dialog procedure, Wnd.cpp AfxGetResourceHandle, which
# the test points at its own module.
set(KELVANE_PAGE_BASE ${CMAKE_SOURCE_DIR}/framework/DialogResize.cpp ${CMAKE_SOURCE_DIR}/framework/Dialog.cpp
  ${CMAKE_SOURCE_DIR}/framework/Wnd.cpp ${CMAKE_SOURCE_DIR}/framework/ModuleGuard.cpp)
target_sources(kelvane_wine_tests PRIVATE ${KELVANE_PAGE_BASE})
# Product files compile as the DLL has them, optimised and without the tests'
# precompiled header (clang-tidy reads either entry).
set_source_files_properties(${KELVANE_PAGE_BASE} PROPERTIES SKIP_PRECOMPILE_HEADERS ON
  COMPILE_OPTIONS "$<$<CONFIG:RelWithDebInfo,Release>:-O2>")
target_include_directories(kelvane_wine_tests PRIVATE ${CMAKE_SOURCE_DIR})

# The environment matrix: the system tests again in hosts that differ from ours
# the way real installations do (tests/wine/HostEnvironmentTest.cpp says what
# each host does), each with only what its difference can reach.
# Locale: numbers as text (boxes, labels, tips, read-back) and the settings file.
set(KELVANE_LOCALE_TESTS "CoreTest.EverySettingRoundTrips*:CoreTest.IniValuesLoad*:CoreTest.UnloadWrites*:\
CoreTest.LoadedSums*:AcousticPage.OpensWith*:AcousticPage.ArrowKey*:AcousticPage.EveryScrollCode*:*Typed*:\
WindowTest.Enter*:WindowTest.ReadBack*:OperatorCues.*Tip*")
# FPU: whatever computes floats (number text, the settings file's floats, the
# acoustic scaling) and damaged files.
set(KELVANE_FPU_TESTS "CoreTest.EverySettingRoundTrips*:CoreTest.IniValuesLoad*:CoreTest.LoadedSums*:\
AcousticPage.*:*Typed*:Hardening.DamagedIniAndConfigFiles")
# 144 DPI: layout and drawing (frame size, page list, page switch, resize,
# the status strip; colours, tips and marks as drawn; the resize engine; the
# status lines). Keys and command order do not depend on it.
set(KELVANE_LAYOUT_SUITES "WindowTest.Frame*:WindowTest.PageList*:WindowTest.Clicking*:WindowTest.PageRepaints*:\
WindowTest.StatusStrip*:OperatorCues.Mismatch*:OperatorCues.TypedText*:OperatorCues.Tip*:\
OperatorCues.ReadBackGoesStale*:OperatorCues.StuckDipole*:ResizeEngine.*:GeneralPage.StatusLines*:\
GeneralPage.DspError*:CoreTest.TheStripShows*:WindowTest.TrendFits*")
# Common controls 6: each kind of control once: list view (page list and
# its marks), status bar, tooltips, tinted edits, trackbars and drop-down
# lists, up-down arrows, list boxes.
set(KELVANE_CONTROL_SUITES "WindowTest.PageList*:WindowTest.Clicking*:WindowTest.StatusStrip*:\
WindowTest.EnterCommits*:OperatorCues.Tip*:OperatorCues.NumericControls*:OperatorCues.TypedText*:\
OperatorCues.StuckDipole*:AcousticPage.OpensWith*:AcousticPage.ArrowKey*:AcousticPage.EveryScrollCode*:\
AcousticPage.CurveAndThreshold*:DtGainPage.ChannelArrows*:GeneralPage.StatusLines*:\
FullWavePage.TypedGainsFollowTheGainRule/*:FullWavePage.EscapeAndTextSetFromOutside/*")
add_test(NAME wine_host_german COMMAND kelvane_wine_tests --gtest_filter=HostEnvironment.*:${KELVANE_LOCALE_TESTS})
set_tests_properties(wine_host_german PROPERTIES ENVIRONMENT KELVANE_HOST_ENV=german)
add_test(NAME wine_host_fpu COMMAND kelvane_wine_tests --gtest_filter=HostEnvironment.*:${KELVANE_FPU_TESTS})
set_tests_properties(wine_host_fpu PROPERTIES ENVIRONMENT KELVANE_HOST_ENV=fpu)
# A prefix of its own at 144 DPI: Wine takes the DPI from the prefix's
# registry when its server starts.
add_test(NAME wine_host_dpi144 COMMAND kelvane_wine_tests --gtest_filter=HostEnvironment.*:${KELVANE_LAYOUT_SUITES})
set_tests_properties(wine_host_dpi144 PROPERTIES ENVIRONMENT "KELVANE_HOST_ENV=dpi144;KELVANE_WINE_DPI=144")
# The manifest goes beside the host exe, so this host is a copy of the test exe.
set(KELVANE_CC6_TESTS ${CMAKE_BINARY_DIR}/bin/kelvane_wine_tests_cc6.exe)
add_custom_command(TARGET kelvane_wine_tests POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:kelvane_wine_tests> ${KELVANE_CC6_TESTS}
  COMMAND ${CMAKE_COMMAND} -E copy
          ${CMAKE_SOURCE_DIR}/tests/wine/CommonControls6.manifest ${KELVANE_CC6_TESTS}.manifest)
add_test(NAME wine_host_cc6 COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-run.sh ${KELVANE_CC6_TESTS}
  --gtest_filter=HostEnvironment.*:${KELVANE_CONTROL_SUITES})
set_tests_properties(wine_host_cc6 PROPERTIES ENVIRONMENT KELVANE_HOST_ENV=cc6)
# WoW64: a 64-bit prefix (a template of its own, made once), where the 32-bit
# host and plug-in see the 32-bit views of folders and registry, as on 64-bit
# Windows: what finds and writes files (the settings file, its copies in
# %LOCALAPPDATA%, set-ups, the record, long paths).
set(KELVANE_WOW64_TESTS "CoreTest.StartUp*:CoreTest.UnloadWrites*:CoreTest.MissingWorkFolder*:\
CoreTest.HostCreatedBlocks*:CoreTest.ProcessExitWithoutUnload*:CoreTest.IniUnwritableAtUnload*:\
CoreTest.CopiesOfTwoWorkFolders*:CoreTest.ALongWorkFolder*:SetupTest.SavedSetupRestores*:SetupTest.TheRecordIsOffered*")
add_test(NAME wine_host_wow64 COMMAND kelvane_wine_tests --gtest_filter=HostEnvironment.*:${KELVANE_WOW64_TESTS})
set_tests_properties(wine_host_wow64 PROPERTIES ENVIRONMENT "KELVANE_HOST_ENV=wow64;KELVANE_WINE_ARCH=win64")
set_tests_properties(wine_host_german wine_host_fpu wine_host_dpi144 wine_host_cc6 wine_host_wow64 PROPERTIES TIMEOUT 600)

# Export/import table check of the built DLL, and the floor its version resource names.
add_test(NAME dll_tables COMMAND ${CMAKE_COMMAND} -DDLL=$<TARGET_FILE:Kelvane> -DRC=${KELVANE_RC}
  -DENTRY_DLL=$<TARGET_FILE:KelvaneEntry>
  -P ${CMAKE_SOURCE_DIR}/cmake/CheckDllTables.cmake)

# Figures: costs as ratios to same-run baselines (scripts/bench.sh; never a test).
add_library(EmptyDll SHARED ${CMAKE_SOURCE_DIR}/tests/figures/EmptyDll.cpp)
set_target_properties(EmptyDll PROPERTIES PREFIX "")
target_link_libraries(EmptyDll PRIVATE ${KELVANE_STATIC_LINK})
kelvane_split_debug(EmptyDll)  # built as the plug-in is
# The trend chart's drawing is timed on its own, so it is compiled in.
add_executable(kelvane_figures ${CMAKE_SOURCE_DIR}/tests/figures/Figures.cpp ${CMAKE_SOURCE_DIR}/shell/TrendChart.cpp)
target_include_directories(kelvane_figures PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(kelvane_figures PRIVATE kelvane_harness ${KELVANE_STATIC_LINK})
add_dependencies(kelvane_figures Kelvane Tamsil EmptyDll)

# The bench host: plays the acquisition host with a simulated tool.
file(GLOB KELVANE_BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/host/*.cpp)
add_executable(KelvaneBench ${KELVANE_BENCH_SOURCES})
target_include_directories(KelvaneBench PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(KelvaneBench PRIVATE kelvane_harness comdlg32 comctl32 ${KELVANE_STATIC_LINK})
add_dependencies(KelvaneBench Kelvane Tamsil)

# The bundled scripts end to end: the real DLL driven through its window.
foreach(script demo faults job health)
  add_test(NAME bench_${script}
    COMMAND KelvaneBench --script ${CMAKE_SOURCE_DIR}/bench/scripts/${script}.txt
            --out ${CMAKE_BINARY_DIR}/bench-out/${script} --work D:\\bench-${script})
  set_tests_properties(bench_${script} PROPERTIES TIMEOUT 300)
endforeach()
# A box nobody expected: the step fails with its text, and the run ends.
add_test(NAME bench_unexpected_box
  COMMAND KelvaneBench --script ${CMAKE_SOURCE_DIR}/bench/scripts/unexpected-box.txt
          --out ${CMAKE_BINARY_DIR}/bench-out/unexpected-box --work D:\\bench-unexpected-box)
set_tests_properties(bench_unexpected_box PROPERTIES TIMEOUT 60
  PASS_REGULAR_EXPRESSION "unexpected-box.txt:6: FAILED: unexpected message box: Delta-T RxDelay")

# The release. The version reads alike in VERSION, the changelog, the
# package's name, the DLL's version resource and log line, and the job record
# bench_job had the real DLL write. The DLL, built again from nothing in
# another folder, has the same bytes.
set_tests_properties(bench_job PROPERTIES FIXTURES_SETUP job_record)
add_test(NAME version_agrees COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check-version.sh $<TARGET_FILE:Kelvane>
  ${CMAKE_BINARY_DIR}/bench-out/job/job-record.txt)
set_tests_properties(version_agrees PROPERTIES FIXTURES_REQUIRED job_record TIMEOUT 60)
# The verification kit as a Windows user runs it (scripts/verify-kit-wine.sh):
# zipped, unpacked, `cmd /c .\verify.cmd` in a fresh prefix, its report read.
# The suites it runs are the entries above, so here it runs a few of each kind.
# In both kinds of prefix: 32-bit, and 64-bit with the kit under WoW64.
foreach(arch win32 win64)
  add_test(NAME verify_kit_${arch} COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/verify-kit-wine.sh ${CMAKE_BINARY_DIR} ${arch})
  set_tests_properties(verify_kit_${arch} PROPERTIES TIMEOUT 300 ENVIRONMENT
    "VERIFY_TESTS=HostEnvironment.*:CoreTest.IniValuesLoad*:WindowTest.PageList*;VERIFY_SCRIPTS=job;VERIFY_CYCLES=no")
endforeach()
add_test(NAME reproducible_dll COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/build-again.sh ${CMAKE_BINARY_DIR})
# About a minute of both cores: with the Wine tests beside it the test command
# passed ten minutes from a fresh clone, so scripts/release-check.sh runs it.
set_tests_properties(reproducible_dll PROPERTIES TIMEOUT 600 LABELS release)

# The short soak: a seeded random operator and host with the invariants
# checked after every step, two fixed seeds side by side (scripts/soak.sh runs
# it for hours). A failure leaves its replay in bench-out/soak-N/replay.txt.
set(KELVANE_SOAK_SECONDS 45 CACHE STRING "Seconds of each short soak in the test command")
foreach(seed 1 2)
  add_test(NAME soak_${seed}
    COMMAND KelvaneBench --soak ${KELVANE_SOAK_SECONDS} --seed ${seed}
            --out ${CMAKE_BINARY_DIR}/bench-out/soak-${seed} --work D:\\soak-${seed})
  set_tests_properties(soak_${seed} PROPERTIES TIMEOUT 300 LABELS slow)
endforeach()

# The longest first, so two lanes end together (ctest also learns from
# earlier runs of the tree).
set_tests_properties(wine_system_0 wine_system_1 PROPERTIES COST 300)
set_tests_properties(wine_cycles PROPERTIES COST 200)
set_tests_properties(wine_host_fpu wine_host_dpi144 wine_host_cc6 wine_host_german PROPERTIES COST 60)

# Every Wine run has a prefix, a drive D: and a display of its own (see
# cmake/wine-run.sh), so the entries run in parallel.
get_property(KELVANE_TESTS DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTY TESTS)
foreach(t IN LISTS KELVANE_TESTS)
  if(NOT t STREQUAL "dll_tables")
    # The source tree, whose files (the fuzz corpus) the tests read through
    # Wine's Z: drive; given at run time, so no build path is compiled in.
    set_property(TEST ${t} APPEND PROPERTY ENVIRONMENT KELVANE_WINE_SLOT=${t} KELVANE_SOURCE_DIR=${CMAKE_SOURCE_DIR})
  endif()
endforeach()
