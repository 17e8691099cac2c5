# Helpers of the build checks (cmake -P scripts).

# xr_run(command...): runs the command; a failure stops the check with its output. The
# output is left in run_output.
function(xr_run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out
    ERROR_VARIABLE err WORKING_DIRECTORY ${WORK})
  if(NOT status EQUAL 0)
    list(JOIN ARGN " " shown)
    message(FATAL_ERROR "${shown}\nfailed (${status}):\n${out}${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

# xr_expect(actual expected what): stops the check when they differ.
function(xr_expect actual expected what)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${what}: got \"${actual}\", expected \"${expected}\"")
  endif()
endfunction()

# The arguments that give another project this build's compiler (and ccache, if used).
set(xr_compiler_args -G ${GENERATOR} -DCMAKE_CXX_COMPILER=${CXX})
if(LAUNCHER)
  list(APPEND xr_compiler_args -DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER})
endif()
