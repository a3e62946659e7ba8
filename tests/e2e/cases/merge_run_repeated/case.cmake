set(STATUS 1)
set(RUNS 2)
