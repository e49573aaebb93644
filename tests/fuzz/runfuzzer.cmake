# Runs one fuzzer briefly and deterministically: a fixed seed and number of runs,
# starting from the seed inputs, with its findings and crash files kept in WORK_DIR.
# Usage: cmake -DFUZZER=... -DSEEDS=... -DWORK_DIR=... -DRUNS=... -P runfuzzer.cmake
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/corpus)
execute_process(
    COMMAND ${FUZZER} -runs=${RUNS} -seed=1 -artifact_prefix=${WORK_DIR}/
            ${WORK_DIR}/corpus ${SEEDS}
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${FUZZER} failed (${result}); crash input in ${WORK_DIR}")
endif()
