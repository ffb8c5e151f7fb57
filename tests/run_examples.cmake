# Plays every example scenario; each must pass.
file(GLOB scenarios "${DIR}/*.scn")
set(failed 0)
foreach(s ${scenarios})
  execute_process(COMMAND ${SIM} run --quiet ${s} RESULT_VARIABLE rc OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(SEND_ERROR "${s}: exit ${rc}\n${out}${err}")
    set(failed 1)
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "example scenarios failed")
endif()
