set(READ_ONLY CONFIG/ACQ.config ACQ/data.txt)
