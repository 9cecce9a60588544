# Fuzzes FUZZER for SECONDS over a fresh copy of the seed corpus SEEDS made in WORK, so
# that the committed corpus is only read. Findings are written to WORK/findings.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/findings)
file(COPY ${SEEDS}/ DESTINATION ${WORK}/corpus)
execute_process(
    COMMAND ${FUZZER} -max_total_time=${SECONDS} -timeout=10 -print_final_stats=1
            -artifact_prefix=${WORK}/findings/ ${WORK}/corpus
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${FUZZER} found a fault (exit ${result}); the input is in ${WORK}/findings")
endif()
