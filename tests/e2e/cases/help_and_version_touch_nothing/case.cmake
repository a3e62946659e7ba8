# Each spelling of a request for help, then the version: printed, status 0, and no file of
# the working directory touched (the parts above all).
set(RUNS 5)
set(ARGS_1 --help)
set(ARGS_2 -h)
set(ARGS_3 "/?")
set(ARGS_4 "-?")
set(ARGS_5 --version)
set(UNCHANGED ON)
