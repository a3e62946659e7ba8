set(ARGS --help -v "CONFIG\\other.config")
