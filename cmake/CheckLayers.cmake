# The layers include one way only: shell -> pages -> framework, core below
# them all, base/ and the host header at the bottom. Every quoted include of
# a product file is resolved to its folder and held to the table below; a
# forbidden one fails with the file, the line and the rule it breaks.
#   cmake -DSOURCE_DIR=<checkout> -P cmake/CheckLayers.cmake
if(NOT SOURCE_DIR)
  get_filename_component(SOURCE_DIR "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
endif()

set(layers base include framework core pages shell)
# What each layer may not include (res/ holds only ids and templates).
set(forbidden_base include framework core pages shell res)
set(forbidden_include base framework core pages shell res)
set(forbidden_framework core pages shell)
set(forbidden_core pages shell)
set(forbidden_pages shell)
set(forbidden_shell "")

# The folder of ours an include names: by its leading folder, by the include
# directories (include/, res/), or beside the including file.
function(layer_of_include text from_dir out)
  set(result "")
  string(REGEX MATCH "^([^/]+)/" _ "${text}")
  if(CMAKE_MATCH_1 AND EXISTS "${SOURCE_DIR}/${text}")
    set(result "${CMAKE_MATCH_1}")
  elseif(EXISTS "${SOURCE_DIR}/include/${text}")
    set(result include)
  elseif(EXISTS "${SOURCE_DIR}/res/${text}")
    set(result res)
  elseif(EXISTS "${from_dir}/${text}")
    file(RELATIVE_PATH rel "${SOURCE_DIR}" "${from_dir}/${text}")
    string(REGEX MATCH "^([^/]+)/" _ "${rel}")
    set(result "${CMAKE_MATCH_1}")
  endif()
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

# Known today, to be taken apart; nothing may join them.
set(known "core/Kelvane.cpp: #include \"shell/MainFrame.h\" (core may not include shell)")

set(broken "")
set(checked 0)
foreach(layer IN LISTS layers)
  file(GLOB_RECURSE sources "${SOURCE_DIR}/${layer}/*.h" "${SOURCE_DIR}/${layer}/*.cpp")
  foreach(source IN LISTS sources)
    math(EXPR checked "${checked} + 1")
    get_filename_component(dir "${source}" DIRECTORY)
    file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
    file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line IN LISTS lines)
      string(REGEX MATCH "#[ \t]*include[ \t]*[\"<]([^\">]+)[\">]" _ "${line}")
      layer_of_include("${CMAKE_MATCH_1}" "${dir}" target)
      if(target AND NOT target STREQUAL layer)
        list(FIND forbidden_${layer} "${target}" at)
        set(entry "${shown}: #include \"${CMAKE_MATCH_1}\" (${layer} may not include ${target})")
        list(FIND known "${entry}" isKnown)
        if(at GREATER -1 AND isKnown EQUAL -1)
          list(APPEND broken "${shown}: #include \"${CMAKE_MATCH_1}\" (${layer} may not include ${target})")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(checked EQUAL 0)
  message(FATAL_ERROR "no sources found under ${SOURCE_DIR}")
endif()
if(broken)
  list(JOIN broken "\n  " text)
  message(FATAL_ERROR "includes against the layers:\n  ${text}")
endif()
message(STATUS "${checked} files keep the layers")
