# Fails when PROGRAM holds code of the simulated machine (namespace sim), or
# when its symbols cannot be read at all (a stripped program proves nothing).
#   cmake -DNM=nm -DPROGRAM=path -P no_simulator.cmake
execute_process(COMMAND ${NM} -C ${PROGRAM} OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
if(failed OR NOT symbols MATCHES "Worker::WorkerLoadFw")
    message(FATAL_ERROR "no symbols read from ${PROGRAM}")
endif()
string(REGEX MATCHALL "[^\n]*sim::[^\n]*" found "${symbols}")
if(found)
    list(LENGTH found count)
    list(GET found 0 first)
    message(FATAL_ERROR "${PROGRAM} holds ${count} symbols of the simulator, such as: ${first}")
endif()
message(STATUS "${PROGRAM}: no simulator symbols")
