set(STATUS 1)
