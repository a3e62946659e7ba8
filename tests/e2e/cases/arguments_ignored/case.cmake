set(ARGS -v --verbose "CONFIG\\other.config")
