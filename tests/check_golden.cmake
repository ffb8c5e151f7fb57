# Plays every scenario of DIR and compares its full output with the recorded trace in
# GOLDEN/NAME.trace, byte for byte. Record again with tools/golden after a deliberate change.
file(GLOB scenarios RELATIVE "${SRC}" "${SRC}/${DIR}/*.scn")
set(failed 0)
foreach(s ${scenarios})
  get_filename_component(name "${s}" NAME_WE)
  get_filename_component(group "${DIR}" NAME)
  set(golden "${SRC}/tests/golden/${group}/${name}.trace")
  execute_process(COMMAND ${SIM} run ${s} WORKING_DIRECTORY "${SRC}" OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  if(NOT EXISTS "${golden}")
    message(SEND_ERROR "${s}: no recorded trace ${golden}; record it with tools/golden")
    set(failed 1)
    continue()
  endif()
  file(READ "${golden}" want)
  if(NOT "${out}${err}" STREQUAL "${want}")
    file(WRITE "${OUT}/${group}-${name}.trace" "${out}${err}")
    message(SEND_ERROR "${s}: trace differs from ${golden}\n"
                       "  got: ${OUT}/${group}-${name}.trace (diff them; tools/golden records "
                       "a deliberate change)")
    set(failed 1)
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "recorded traces differ")
endif()
